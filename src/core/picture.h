// A picture as the conversion code sees it: a plain grid of colour values
// 0x00BBGGRR (red in the low byte), rows from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zwp {

// Bounds on a decoded picture, whatever its file claims: no side beyond
// 32767 pixels and at most 16 Mi pixels (64 MiB of colour values).
inline constexpr int32_t kMaxPictureSide = 32767;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing explores the same code with cheaper allocations.
inline constexpr int64_t kMaxPicturePixels = 1 << 20;
#else
inline constexpr int64_t kMaxPicturePixels = 16'777'216;
#endif

// True when a width and height are within the bounds above (zero allowed).
bool pictureSizeUsable(int64_t width, int64_t height);

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int32_t> pixels;  // width * height values, row after row

  Picture() = default;
  // A picture of the given size filled with one colour; the size must be usable.
  Picture(int32_t w, int32_t h, int32_t fill = 0);

  bool contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  int32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void set(int32_t x, int32_t y, int32_t colour) { pixels[static_cast<size_t>(y) * width + x] = colour; }
  bool operator==(const Picture&) const = default;
};

// Colour value from components and back; components are taken modulo 256.
constexpr int32_t colourOf(int red, int green, int blue) {
  return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}

}  // namespace zwp
