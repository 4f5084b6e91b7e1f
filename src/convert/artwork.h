// Turning artwork into something an emblem can hold: transparency flattened
// over a background, large pictures shrunk by area averaging, and optional
// error diffusion against the colours an emblem really stores. Plain C++ on
// pictures, so that every front end (zwpconv, the window, the browser page)
// gets the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "convert/load.h"
#include "core/picture.h"

namespace zwp {

// Pixels with transparency: bytes red, green, blue, alpha per pixel, rows from
// the top, `stride` bytes apart. Alpha is straight (not premultiplied).
struct RgbaPixels {
  const uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
};

// The pixels composited over an opaque background colour (0x00BBGGRR): fully
// transparent pixels become exactly the background, opaque ones stay exactly
// themselves. Error 481 for a size beyond the picture bounds.
Picture flatten(const RgbaPixels& pixels, int32_t background);

// The size a picture of width x height gets when it is shrunk to fit inside
// side x side with its aspect ratio kept (rounded, at least 1); a picture that
// fits already keeps its size.
struct Size {
  int32_t width;
  int32_t height;
};
Size fittedSize(int32_t width, int32_t height, int32_t side);

// The picture shrunk to fittedSize by area averaging: each new pixel is the
// mean of the area of the old picture it covers, so fine detail averages out
// instead of aliasing. Pictures that fit are returned unchanged; never enlarges.
Picture fitInside(const Picture& picture, int32_t side);

// A picture for a preview whose longer side is at most `side`: pixel art is
// enlarged by the largest whole factor that fits, every pixel a sharp square,
// and a picture larger than side x side is shrunk by area averaging.
Picture thumbnailOf(const Picture& picture, int32_t side);

// How a picture becomes an emblem: shrunk to fit inside fit x fit (1..128;
// 0 for no shrinking) and dithered or not.
struct EmblemOptions {
  int32_t fit = 0;
  bool dither = false;
};

// True when a picture of this size can become an emblem under the options:
// any size with fit, at most 128 x 128 pixels without.
bool emblemTakesSize(int32_t width, int32_t height, const EmblemOptions& options);

// The picture made ready for an emblem by the options; without fit, a picture
// wider or higher than 128 pixels has no value (it is refused).
std::optional<Picture> prepareForEmblem(Picture picture, const EmblemOptions& options);

// A bitmap file as the picture an emblem is made from. At its own size a
// bitmap obeys exactly the window's rules (no value, and the reason in why,
// when the window would refuse it); with fit it may be any bitmap the decoder
// reads. A damaged file raises 481.
std::optional<Picture> bitmapForEmblem(std::span<const uint8_t> file, const EmblemOptions& options,
                                       Refusal* why = nullptr);

// Serpentine Floyd-Steinberg error diffusion against the levels an emblem
// stores: every pixel of the result is a colour the emblem keeps exactly.
Picture ditherToEmblemLevels(const Picture& picture);

}  // namespace zwp
