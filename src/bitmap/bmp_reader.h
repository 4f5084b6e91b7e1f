// Our own BMP decoder: 1, 4, 8, 16 and 24 bits per pixel, uncompressed, RLE4,
// RLE8 and 16-bit bit fields, bottom-up and top-down, with Windows (40, 52,
// 56, 108, 124 bytes) and OS/2 (12, 16, 64 bytes) information headers.
// Every size and offset is checked before it is used; anything unsupported
// or damaged raises error 481 with the reason.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/byte_input.h"
#include "core/picture.h"

namespace zwp {

// How large a bitmap may be: one picture in memory, or, read row by row and
// shrunk as the rows come, the fitted bounds (run-length encoded bitmaps are
// always decoded whole).
enum class BmpBounds { OnePicture, RowByRow };

// Decodes a whole BMP file. Pixels that RLE skips and palette
// indices beyond the palette are black; 16-bit channels expand to full range,
// rounded (v * 255 / max to the nearest).
Picture decodeBmp(ByteInput& file);
Picture decodeBmp(std::span<const uint8_t> file);

// What a BMP file's headers say, checked as decodeBmp checks them, without
// decoding a pixel.
struct BmpInfo {
  int32_t width = 0;
  int32_t height = 0;  // absolute
  int bitCount = 0;
  bool os2Core = false;  // a 12-byte OS/2 1.x header
  bool topDown = false;    // rows stored from the top
  bool runLength = false;  // RLE4 or RLE8
};
BmpInfo readBmpInfo(ByteInput& file, BmpBounds bounds = BmpBounds::OnePicture);

// Each row of an uncompressed bitmap, as colours, in the order the file
// stores them (from the bottom unless it is top-down), within the fitted
// bounds; a run-length encoded one is refused here.
void forEachBmpRow(ByteInput& file, const std::function<void(std::span<const int32_t>)>& row);

// Reads and decodes a BMP file; I/O failures raise the file errors.
Picture loadBmpFile(const std::string& path);

}  // namespace zwp
