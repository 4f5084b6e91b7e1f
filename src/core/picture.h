// A picture as the conversion code sees it: a grid of colour values
// 0x00BBGGRR (red in the low byte), rows from the top. It always holds exactly
// width x height values, and its size is always within the bounds below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zwp {

// Bounds on a decoded picture, whatever its file claims: no side beyond
// 32767 pixels and at most 16 Mi pixels (64 MiB of colour values).
inline constexpr int32_t kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = 16'777'216;

// Pictures that are read row by row and shrunk as the rows come may be this
// large: 256 Mi pixels, no side beyond 65535.
inline constexpr int64_t kMaxFittedPixels = int64_t{1} << 28;
inline constexpr int64_t kMaxFittedSide = 65535;

// True when a width and height are within the bounds above (zero allowed).
bool pictureSizeUsable(int64_t width, int64_t height);
// Raises error 481, naming the size, when width x height is beyond the bounds.
void checkPictureSize(int64_t width, int64_t height);
// The same for a picture read row by row and shrunk as the rows come.
void checkFittedSize(int64_t width, int64_t height);

class Picture {
 public:
  Picture() = default;
  // A picture of the given size filled with one colour. A size beyond the
  // bounds raises error 481.
  Picture(int32_t width, int32_t height, int32_t fill = 0);
  // A picture of the given colours, row after row; error 481 unless there are
  // exactly width x height of them.
  Picture(int32_t width, int32_t height, std::vector<int32_t> colours);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

  // Pixel access; the point must lie inside the picture.
  int32_t at(int32_t x, int32_t y) const { return pixels_[index(x, y)]; }
  void set(int32_t x, int32_t y, int32_t colour) { pixels_[index(x, y)] = colour; }

  std::span<const int32_t> row(int32_t y) const { return {pixels_.data() + index(0, y), size_t(width_)}; }
  std::span<int32_t> row(int32_t y) { return {pixels_.data() + index(0, y), size_t(width_)}; }
  std::span<const int32_t> pixels() const { return pixels_; }
  std::span<int32_t> pixels() { return pixels_; }

  // Hands the colour values over; the picture is empty afterwards.
  std::vector<int32_t> release();

  bool operator==(const Picture&) const = default;

 private:
  size_t index(int32_t x, int32_t y) const { return size_t(y) * size_t(width_) + size_t(x); }

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<int32_t> pixels_;
};

// A colour value from its components, each taken modulo 256.
constexpr int32_t colourOf(int red, int green, int blue) {
  return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}

}  // namespace zwp
