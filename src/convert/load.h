// Loading a file the way the window does: which files are accepted, and the
// picture and size they give. Refusals of unusable content are silent in the
// window (no value, with the reason for those who want to name it); files that
// cannot be opened or read, and bitmaps whose pixels cannot be decoded, raise
// an Error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "codec/emblem_file.h"
#include "core/picture.h"

namespace zwp {

// Bitmaps wider or higher than this are refused; emblems are limited only by
// the picture bounds (16 Mi pixels).
inline constexpr int32_t kMaxBitmapSide = 128;

enum class Refusal {
  None,
  NotBitmap,         // does not start with "BM"
  UnsupportedDepth,  // not 1, 4, 8, 16 or 24 bits per pixel
  TooLarge,          // wider or higher than 128 pixels
  UnusableEmblem,    // emblem header with a negative or absurd size
};

// The reason in German, for messages.
std::string refusalText(Refusal refusal);

struct LoadedBitmap {
  int32_t width = 0;
  int32_t height = 0;  // absolute: a top-down bitmap counts its rows like any other
  Picture picture;
};

// Accepts a file that starts with "BM", has 1, 4, 8, 16 or 24 bits per pixel
// and is at most 128 x 128 pixels. The file is opened once: the checks and the
// decoder see the same bytes, and the limit is checked again on the picture.
std::optional<LoadedBitmap> loadBitmapForPreview(const std::string& path, Refusal* why = nullptr);
// The same for a whole file held in memory.
std::optional<LoadedBitmap> loadBitmapForPreview(std::span<const uint8_t> file, Refusal* why = nullptr);

// What the window makes of a bitmap file, for a description: the size and
// depth its headers really hold, and why the window refuses it, if it does.
struct BitmapDescription {
  int32_t width = 0;
  int32_t height = 0;
  int16_t bitCount = 0;
  std::string refusal;  // in German; empty when the window takes the file
};
BitmapDescription describeBitmap(std::span<const uint8_t> file);

// Any emblem whose header describes a usable size (at most 16 Mi pixels).
std::optional<Emblem> loadEmblemForPreview(const std::string& path, Refusal* why = nullptr);

}  // namespace zwp
