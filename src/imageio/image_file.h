// Pictures in the formats of other programs (PNG, JPEG, GIF, TGA, TIFF, WebP
// and whatever else the installed Qt image plugins read), turned into
// pictures and back. BMP files keep our own decoder; emblems our own codec.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/picture.h"

namespace zwp {

// A whole picture file held in memory as a picture: a file that starts with
// "BM" through our BMP decoder, anything else through Qt's readers, which
// judge the content, not the name. Transparency is flattened over the
// background colour (0x00BBGGRR). A size beyond the picture bounds is refused
// before any pixel memory is allocated; a damaged or cut file raises 481 with
// the reason, never a partial picture.
Picture readArtwork(std::span<const uint8_t> file, int32_t background);

// What a picture file other than a BMP is, from its header: size and format.
struct Artwork {
  int32_t width = 0;
  int32_t height = 0;
  std::string format;  // "png", "jpeg", ...
};
// Error 481 when Qt's readers know no such picture.
Artwork describeArtwork(std::span<const uint8_t> file);

// The picture as a PNG file: 8 bits per channel, the colours exactly as they
// are, no colour space or gamma information.
std::vector<uint8_t> encodePng(const Picture& picture);

// A colour given as "#RRGGBB" or by a name Qt knows ("white", "steelblue");
// false when it is neither.
bool parseColour(const std::string& text, int32_t& colour);

// The file name endings of the picture formats the installed plugins read,
// lower case without the dot ("png", "jpg", ...).
std::vector<std::string> pictureExtensions();

}  // namespace zwp
