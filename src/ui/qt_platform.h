// The desktop pieces of platform.h built from Qt: mounted volumes as drives,
// QFileDialog as the save dialog, QMessageBox as message boxes.
#pragma once

#include "ui/platform.h"

namespace zwp::ui {

Platform qtPlatform();

// "Zorbel Wappen(*.zwp)|*.zwp" as QFileDialog name filters.
QStringList nameFiltersOf(const QString& filter);

}  // namespace zwp::ui
