// Turning artwork into something an emblem can hold: transparency flattened
// over a background, large pictures shrunk by area averaging, and optional
// error diffusion against the colours an emblem really stores. Plain C++ on
// pictures, so that every front end (zwpconv, the window, the browser page)
// gets the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/decoder.h"
#include "core/picture.h"

namespace zwp {

// One row of pixels with transparency composited over an opaque background
// colour (0x00BBGGRR): bytes red, green, blue, alpha per pixel in, colour
// values out. Fully transparent pixels become exactly the background, opaque
// ones stay exactly themselves; premultiplied pixels are composited as they
// stand, without being divided back first.
void flattenRow(const uint8_t* rgba, size_t width, Alpha alpha, int32_t background, int32_t* out);

// The size a picture of width x height gets when it is shrunk to fit inside
// side x side with its aspect ratio kept (rounded, at least 1); a picture that
// fits already keeps its size. The size is the same turned a quarter: fitting
// and turning can come in either order.
struct Size {
  int32_t width;
  int32_t height;
};
Size fittedSize(int32_t width, int32_t height, int32_t side);

// Shrinks a picture to fittedSize by area averaging, rows fed in from the
// top one at a time, so that a picture far larger than memory could hold can
// be shrunk as it is decoded: each new pixel is the mean of the area of the
// old picture it covers, so fine detail averages out instead of aliasing.
// A picture that fits already is kept as it is.
class AreaFitter {
 public:
  AreaFitter(int32_t width, int32_t height, int32_t side);
  Size size() const { return size_; }
  void addRow(std::span<const int32_t> row);
  // The result, once every row has come.
  Picture take();

 private:
  struct Span {
    int32_t source;
    int64_t weight;
  };
  static std::vector<std::vector<Span>> spansOf(int32_t oldLength, int32_t newLength);

  int32_t width_, height_;
  Size size_;
  int32_t rowsIn_ = 0;
  Picture kept_;  // the result, filled as its rows are done
  std::vector<std::vector<Span>> columns_;
  // One old row averaged across; the sums of the two new rows it may touch.
  std::vector<int64_t> across_, sums_;
};

// A whole picture shrunk by the fitter; never enlarges.
Picture fitInside(const Picture& picture, int32_t side);

// A picture for a preview whose longer side is at most `side`: pixel art is
// enlarged by the largest whole factor that fits, every pixel a sharp square,
// and a picture larger than side x side is shrunk by area averaging.
Picture thumbnailOf(const Picture& picture, int32_t side);

// Serpentine Floyd-Steinberg error diffusion against the levels an emblem
// stores: every pixel of the result is a colour the emblem keeps exactly.
Picture ditherToEmblemLevels(const Picture& picture);

}  // namespace zwp
