// Hand-made BMP files for the cases no independent encoder writes: RLE4,
// deltas, top-down rows, unusual masks, damaged headers.
#pragma once

#include <cstdint>
#include <vector>

namespace zwp::test {

struct BmpBuilder {
  uint32_t infoSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written as B, G, R, 0
  std::vector<uint32_t> masks;    // written after a 40-byte header, or inside a larger one
  std::vector<uint8_t> data;      // pixel data as stored
  int64_t dataOffsetDelta = 0;    // moves the data offset field away from the truth

  std::vector<uint8_t> bytes() const;
};

// A plain uncompressed BMP of width x height at the bit count, every pixel
// byte `fill` (an index into an empty palette for the low depths).
std::vector<uint8_t> plainBmp(int32_t width, int32_t height, uint16_t bitCount = 24, uint8_t fill = 0x55);

// Rows of raw bytes, each padded with zeros to a multiple of four.
std::vector<uint8_t> paddedRows(const std::vector<std::vector<uint8_t>>& rows);

}  // namespace zwp::test
