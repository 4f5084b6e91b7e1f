// The 400 x 100 banner artwork across the top of the window, drawn in code:
// an emblem shield and the program's name on a light-blue ground.
#pragma once

#include <QImage>

namespace zwp::ui {

// Drawn at zoom times its size, as sharp as at its own.
QImage bannerImage(qreal zoom = 1);
// The shield alone on a transparent ground, 64 x 64: the window's icon.
QImage shieldImage();

}  // namespace zwp::ui
