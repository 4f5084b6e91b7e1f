// The picture formats we read, recognised by content (and by name where a
// format has no magic), and the place where decoders that need a toolkit
// (libjpeg, libtiff, Qt) are plugged in. BMP, PNG, GIF, TGA and emblems need none.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/byte_input.h"

namespace zwp {

// Only these formats are ever read; anything else is refused, whatever a
// toolkit could make of it.
enum class Format { Unknown, Bmp, Png, Jpeg, Gif, Webp, Tiff, Tga };

// The first bytes of a file, as many as formatOf() needs.
inline constexpr size_t kSniffBytes = 32;

// The format of a file from its first bytes; TGA, which has no magic, from a
// name ending in ".tga" (any case) and a plausible header.
Format formatOf(std::span<const uint8_t> file, const std::string& name);
// Whether a file name ends in the ending (".tga"), in any case.
bool hasEnding(const std::string& name, std::string_view ending);
// Its name as people know it ("PNG", "JPEG" …).
const char* formatName(Format format);
// The name endings of the formats we read, lower case without the dot.
std::span<const char* const> pictureExtensions();

// What a header says before any pixel is decoded. Orientation is the Exif
// value 1..8 (1: as stored), width and height are as stored.
struct PictureHeader {
  int64_t width = 0;
  int64_t height = 0;
  int orientation = 1;
};

// How the bytes of decoded rows are to be taken.
enum class Alpha { Straight, Premultiplied };

// Where a decoder delivers its rows, top row of the stored picture first:
// bytes red, green, blue, alpha per pixel, `width` pixels a row.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void addRows(const uint8_t* rgba, int32_t rows, size_t stride, Alpha alpha) = 0;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  // The header alone; error 481 when the file is not of the format or its
  // header is damaged.
  virtual PictureHeader header(ByteInput& file) const = 0;
  // Every row of the picture whose header was read; error 481 for a cut or
  // damaged file, after which the rows delivered count for nothing.
  virtual void decode(ByteInput& file, RowSink& rows) const = 0;
};

// How a picture's rows reach the pipeline: as one picture in memory, or in
// strips that are shrunk as they come, so that the picture may be far larger
// than one picture in memory (up to the fitted bounds or the decoder's own).
enum class Rows { Whole, InStrips };
// InStrips for every format's decoder (BMP is read row by row by the pipeline itself).
Rows rowsOf(Format format);

// Plugs a decoder in for a format (BMP, PNG, GIF and TGA are always our own). Done once, before
// any reading starts; a format without a decoder is refused as unknown.
void installDecoder(Format format, std::shared_ptr<const Decoder> decoder);
const Decoder* decoderFor(Format format);

}  // namespace zwp
