#include "bitmap/bmp_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>


#include "codec/pixel_codec.h"
#include "core/error.h"
#include "support/bmp_builder.h"
#include "support/test_files.h"
#include "support/expect_error.h"

namespace zwp {
namespace {

using test::BmpBuilder;
using test::paddedRows;

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

Picture decode(const BmpBuilder& b) { return decodeBmp(b.bytes()); }

// An RLE8 or RLE4 file of the given stream.
BmpBuilder rle(uint16_t bits, int32_t width, int32_t height, std::vector<uint32_t> palette, std::vector<uint8_t> data) {
  BmpBuilder b;
  b.bitCount = bits;
  b.compression = bits == 8 ? kRle8 : kRle4;
  b.width = width;
  b.height = height;
  b.palette = std::move(palette);
  b.data = std::move(data);
  return b;
}

const std::vector<uint32_t> kRgbPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

int refusal(const std::vector<uint8_t>& bytes) {
  return test::errorNumberOf([&] { decodeBmp(bytes); });
}

TEST(BmpDecoder, IndependentEncodersFilesDecodeToTheirSources) {
  int count = 0;
  for (const test::Fixture& f : test::fixtures()) {
    SCOPED_TRACE(f.bmp);
    const Picture got = loadBmpFile(test::fixturePath(f.bmp));
    const test::PpmPicture want = test::readPpm(test::fixturePath(f.expected));
    ASSERT_EQ(got.width(), want.width);
    ASSERT_EQ(got.height(), want.height);
    for (size_t i = 0; i < want.pixels.size(); ++i) {
      ASSERT_EQ(got.pixels()[i], want.pixels[i]) << "pixel " << i % size_t(want.width) << "," << i / size_t(want.width);
    }
    ++count;
  }
  EXPECT_GE(count, 15);
}

TEST(BmpDecoder, PalettedRowsBottomUpAndTopDown) {
  BmpBuilder b;
  b.bitCount = 8;
  b.width = 3;
  b.height = 2;
  b.palette = {0xFF0000, 0x00FF00, 0x0000FF};
  b.data = paddedRows({{0, 1, 2}, {2, 2, 0}});  // bottom row first
  EXPECT_EQ(test::pixelsOf(decode(b)), (std::vector<int32_t>{colourOf(0, 0, 255), colourOf(0, 0, 255), colourOf(255, 0, 0),
                                                   colourOf(255, 0, 0), colourOf(0, 255, 0), colourOf(0, 0, 255)}));
  b.height = -2;  // same bytes, now the top row first
  EXPECT_EQ(decode(b).at(1, 0), colourOf(0, 255, 0));
  EXPECT_EQ(decode(b).height(), 2);
}

TEST(BmpDecoder, PaletteIndicesBeyondThePaletteAreBlack) {
  BmpBuilder b;
  b.bitCount = 4;
  b.width = 4;
  b.colorsUsed = 2;
  b.palette = {0xFFFFFF, 0x808080};
  b.data = paddedRows({{0x01, 0x5F}});
  EXPECT_EQ(test::pixelsOf(decode(b)), (std::vector<int32_t>{colourOf(255, 255, 255), colourOf(128, 128, 128), 0, 0}));
}

TEST(BmpDecoder, MonochromeBitsRunFromTheHighBit) {
  BmpBuilder b;
  b.bitCount = 1;
  b.width = 10;
  b.palette = {0x000000, 0xFFFFFF};
  b.data = paddedRows({{0b10100000, 0b01000000}});
  const Picture p = decode(b);
  const int32_t w = colourOf(255, 255, 255);
  EXPECT_EQ(test::pixelsOf(p), (std::vector<int32_t>{w, 0, w, 0, 0, 0, 0, 0, 0, w}));
}

TEST(BmpDecoder, SixteenBitChannelsExpandToFullRange) {
  struct Case {
    uint32_t compression;
    std::vector<uint32_t> masks;
    uint16_t value;
    int32_t colour;
  };
  const Case cases[] = {
      {kRgb, {}, 0x7FFF, colourOf(255, 255, 255)},
      {kRgb, {}, 0x7C00, colourOf(255, 0, 0)},
      {kRgb, {}, 0x0421, colourOf(8, 8, 8)},
      {kBitfields, {0xF800, 0x07E0, 0x001F}, 0xFFFF, colourOf(255, 255, 255)},
      {kBitfields, {0xF800, 0x07E0, 0x001F}, 0x0820, colourOf(8, 4, 0)},
      {kBitfields, {0x0F00, 0x00F0, 0x000F}, 0x08F1, colourOf(0x88, 0xFF, 0x11)},
      {kBitfields, {0x0001, 0x0006, 0x0000}, 0x0003, colourOf(255, 85, 0)},
  };
  for (const Case& c : cases) {
    for (const uint32_t info : {40u, 108u}) {
      BmpBuilder b;
      b.infoSize = info;
      b.bitCount = 16;
      b.compression = c.compression;
      b.masks = c.masks;
      b.data = paddedRows({{static_cast<uint8_t>(c.value), static_cast<uint8_t>(c.value >> 8)}});
      EXPECT_EQ(decode(b).at(0, 0), c.colour) << std::hex << c.value << " header " << std::dec << info;
    }
  }
}

// Every code of a 5-, 6- and 10-bit channel widens to round(code * 255 / max),
// as the reference images of the public BMP test suite have it.
TEST(BmpDecoder, SixteenBitChannelsWidenByRounding) {
  for (const auto& [mask, bits] : {std::pair<uint32_t, int>{0x001F, 5}, {0x07E0, 6}, {0x03FF, 10}}) {
    const uint32_t top = (1u << bits) - 1;
    for (uint32_t code = 0; code <= top; ++code) {
      BmpBuilder b;
      b.bitCount = 16;
      b.compression = kBitfields;
      b.masks = {0, 0, mask};
      const uint32_t word = code << std::countr_zero(mask);
      b.data = paddedRows({{static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)}});
      const long want = std::lround(code * 255.0 / top);
      ASSERT_EQ(decode(b).at(0, 0), colourOf(0, 0, static_cast<int>(want))) << bits << "-bit code " << code;
    }
  }
  const struct {
    uint32_t mask;
    uint32_t code;
    int widened;
  } known[] = {{0x1F, 3, 25}, {0x1F, 7, 58}, {0x1F, 24, 197}, {0x1F, 28, 230}, {0x3F, 11, 45}, {0x3F, 52, 210}};
  for (const auto& k : known) {
    BmpBuilder b;
    b.bitCount = 16;
    b.compression = kBitfields;
    b.masks = {0, 0, k.mask};
    b.data = paddedRows({{static_cast<uint8_t>(k.code), 0}});
    EXPECT_EQ(decode(b).at(0, 0), colourOf(0, 0, k.widened)) << k.code;
  }
}

TEST(BmpDecoder, Every565WordKeepsItsCodesThroughTheQuantisers) {
  BmpBuilder b;
  b.bitCount = 16;
  b.compression = kBitfields;
  b.masks = {0xF800, 0x07E0, 0x001F};
  b.width = 256;
  b.height = 256;
  for (uint32_t word = 0; word < 65536; ++word) test::appendLe16(b.data, word);
  const Picture p = decode(b);
  for (uint32_t word = 0; word < 65536; ++word) {
    const int32_t colour = p.pixels()[(255 - word / 256) * 256 + word % 256];
    ASSERT_EQ(static_cast<uint16_t>(storedWord(snapPixel(colour))), word);
  }
}

TEST(BmpDecoder, Rle8RunsDeltasAndEarlyEndsLeaveSkippedPixelsBlack) {
  const Picture p = decode(rle(8, 5, 3, kRgbPalette,
                               {2, 1,              // bottom row: two red
                                0, 2, 1, 0,        // delta: one right (x = 3)
                                1, 3,              // one blue at x = 3
                                0, 0,              // end of line: x 4 stays black
                                0, 3, 2, 3, 1, 0,  // absolute run of three, padded
                                0, 0,
                                0, 1}));           // end of bitmap: top row stays black
  const int32_t R = colourOf(255, 0, 0), G = colourOf(0, 255, 0), B = colourOf(0, 0, 255);
  EXPECT_EQ(test::pixelsOf(p), (std::vector<int32_t>{0, 0, 0, 0, 0,  //
                                           G, B, R, 0, 0,  //
                                           R, R, 0, B, 0}));
}

TEST(BmpDecoder, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
  const BmpBuilder b = rle(4, 7, 1, kRgbPalette,
                          {3, 0x12,           // 1 2 1
                           0, 3, 0x32, 0x10,  // absolute: 3 2 1, three nibbles in two bytes
                           0, 1});
  const int32_t R = colourOf(255, 0, 0), G = colourOf(0, 255, 0), B = colourOf(0, 0, 255);
  EXPECT_EQ(test::pixelsOf(decode(b)), (std::vector<int32_t>{R, G, R, B, G, R, 0}));
}

TEST(BmpDecoder, RleRunsPastTheRowOrImageAreClipped) {
  const BmpBuilder b = rle(8, 2, 2, {0x000000, 0xFFFFFF},
                          {200, 1,      // run far past the row end: clipped, no wrap
                           0, 2, 0, 9,  // delta far past the image
                           5, 1,
                           0, 0, 0, 1});
  const int32_t W = colourOf(255, 255, 255);
  EXPECT_EQ(test::pixelsOf(decode(b)), (std::vector<int32_t>{0, 0, W, W}));
}

TEST(BmpDecoder, RleStreamMayEndWithoutEndCodeOnceFull) {
  EXPECT_EQ(decode(rle(8, 2, 1, {0x000000, 0xFFFFFF}, {2, 1})).at(1, 0), colourOf(255, 255, 255));
}

TEST(BmpDecoder, UnsupportedOrDamagedFilesAreRefusedAsInvalidPictures) {
  auto good = [] {
    BmpBuilder b;
    b.bitCount = 8;
    b.width = 2;
    b.height = 2;
    b.palette = {0, 0xFFFFFF};
    b.data = paddedRows({{0, 1}, {1, 0}});
    return b;
  };
  ASSERT_EQ(refusal(good().bytes()), 0);
  struct Case {
    const char* what;
    std::function<void(BmpBuilder&)> change;
  };
  const Case cases[] = {
      {"32 bits", [](BmpBuilder& b) { b.bitCount = 32; }},
      {"2 bits", [](BmpBuilder& b) { b.bitCount = 2; }},
      {"0 bits", [](BmpBuilder& b) { b.bitCount = 0; }},
      {"JPEG inside", [](BmpBuilder& b) { b.compression = 4; }},
      {"PNG inside", [](BmpBuilder& b) { b.compression = 5; }},
      {"RLE4 on 8 bits", [](BmpBuilder& b) { b.compression = kRle4; }},
      {"bit fields on 8 bits", [](BmpBuilder& b) { b.compression = kBitfields; }},
      {"OS/2 Huffman", [](BmpBuilder& b) { b.infoSize = 64; b.bitCount = 1; b.compression = 3; }},
      {"OS/2 RLE24", [](BmpBuilder& b) { b.infoSize = 64; b.bitCount = 24; b.compression = 4; }},
      {"top-down RLE", [](BmpBuilder& b) { b.compression = kRle8; b.height = -2; }},
      {"unknown header", [](BmpBuilder& b) { b.infoSize = 20; }},
      {"negative width", [](BmpBuilder& b) { b.width = -2; }},
      {"most negative height", [](BmpBuilder& b) { b.height = INT32_MIN; }},
      {"huge", [](BmpBuilder& b) { b.width = 5000; b.height = 5000; }},
      {"too wide", [](BmpBuilder& b) { b.width = 40000; b.height = 1; }},
      {"data past end", [](BmpBuilder& b) { b.dataOffsetDelta = 1000; }},
      {"data inside header", [](BmpBuilder& b) { b.dataOffsetDelta = -1030; }},
      {"rows missing", [](BmpBuilder& b) { b.data.resize(b.data.size() - 1); }},
      {"RLE stream cut", [](BmpBuilder& b) { b.compression = kRle8; b.data = {2, 1, 0, 0}; }},
      {"RLE absolute cut", [](BmpBuilder& b) { b.compression = kRle8; b.data = {0, 9, 1}; }},
      {"split masks", [](BmpBuilder& b) { b.bitCount = 16; b.compression = kBitfields; b.masks = {0xF00F, 0xF0, 0}; }},
  };
  for (const Case& c : cases) {
    BmpBuilder b = good();
    c.change(b);
    EXPECT_EQ(refusal(b.bytes()), err::InvalidPicture) << c.what;
  }
}

TEST(BmpDecoder, EveryTruncationIsRefusedNeverReadPast) {
  BmpBuilder b;
  b.bitCount = 24;
  b.width = 3;
  b.height = 3;
  b.data = paddedRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}});
  const auto full = b.bytes();
  for (size_t n = 0; n < full.size(); ++n) {
    EXPECT_EQ(refusal(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(n))), err::InvalidPicture) << n;
  }
  EXPECT_EQ(refusal(full), 0);
}

TEST(BmpDecoder, ZeroWidthIsAnEmptyPicture) {
  BmpBuilder b;
  b.width = 0;
  b.height = 5;
  EXPECT_EQ(test::pixelsOf(decode(b)).size(), 0u);
}

}  // namespace
}  // namespace zwp
