// The 400 x 100 banner artwork across the top of the window, drawn in code:
// an emblem shield and the program's name on a light-blue ground.
#pragma once

#include <QImage>

namespace zwp::ui {

QImage bannerImage();
// The shield alone on a transparent ground, 64 x 64: the window's icon.
QImage shieldImage();

}  // namespace zwp::ui
