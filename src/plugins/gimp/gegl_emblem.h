// What both GIMP plug-ins (2.10 and 3) do the same way: an emblem read into a
// layer's GEGL buffer, a drawable's buffer exported as an emblem, and every
// failure turned into the German text GIMP shows.
#pragma once

#include <gegl.h>

#include <functional>
#include <cstdint>
#include <string>
#include <vector>

namespace zwp {

// The choices of an emblem export. GIMP 2.10 keeps them between exports as
// plain bytes, so they stay plain values.
struct ExportOptions {
  bool dither = false;
  int fit = 0;  // shrink to fit inside fit x fit pixels, 0 to keep the size
};

// The emblem in `filename` as the window shows it, as red, green, blue bytes.
struct OpenedEmblem {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};
OpenedEmblem openEmblem(const char* filename);
// Puts its pixels into a buffer of its size (a new layer's).
void fillBuffer(GeglBuffer* buffer, const OpenedEmblem& emblem);

// Writes the `width` x `height` pixels of `buffer` to `filename` as the emblem
// zwpconv makes from a picture file of these pixels.
void exportEmblem(GeglBuffer* buffer, int width, int height, const char* filename, const ExportOptions& options);

// Runs `step`; an empty string when it succeeded, else the German description
// of why not (including running out of memory, which must not end GIMP).
std::string failureOf(const std::function<void()>& step);

}  // namespace zwp
