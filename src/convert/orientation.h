// Exif orientation: the tag cameras and phones write instead of turning the
// pixels, read from the file and applied as every viewer applies it.
#pragma once

#include <cstdint>
#include <span>

#include "core/byte_input.h"
#include "core/picture.h"

namespace zwp {

// The orientation (1..8) in the first directory of a TIFF structure (an Exif
// block or a TIFF file); 1 when there is none or it is damaged.
int tiffOrientation(ByteInput& tiff);
int tiffOrientation(std::span<const uint8_t> tiff);
// The orientation a JPEG file's Exif segment holds; 1 when there is none.
int jpegOrientation(ByteInput& file);

// True when the orientation turns the picture a quarter, so that its width
// and height swap.
constexpr bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The picture as it is meant to be seen: mirrored and turned as the
// orientation says (1 and unknown values leave it as it is).
Picture orient(Picture picture, int orientation);

}  // namespace zwp
