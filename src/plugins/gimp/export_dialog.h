// The choices of an emblem export and the dialog that asks for them.
#pragma once

namespace zwp {

// Kept by GIMP between exports (as plain bytes), so both stay plain values.
struct ExportOptions {
  bool dither = false;
  int fit = 0;  // shrink to fit inside fit x fit pixels, 0 to keep the size
};

// Asks for the options, starting from those given; false when cancelled.
bool askExportOptions(ExportOptions& options);

}  // namespace zwp
