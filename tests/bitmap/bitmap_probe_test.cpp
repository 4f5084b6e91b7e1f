#include "bitmap/bitmap_probe.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "support/test_files.h"
#include "support/expect_error.h"

namespace zwp {
namespace {

using test::TempDir;
using test::writeBytes;

std::vector<uint8_t> header(const char sig[2], int32_t w, int32_t h, int16_t bits) {
  std::vector<uint8_t> b = {static_cast<uint8_t>(sig[0]), static_cast<uint8_t>(sig[1])};
  b.resize(18, 0);
  test::appendLe32(b, static_cast<uint32_t>(w));
  test::appendLe32(b, static_cast<uint32_t>(h));
  test::appendLe16(b, 1);
  test::appendLe16(b, static_cast<uint16_t>(bits));
  return b;
}

TEST(IsBitmap, OnlyTheFirstTwoBytesDecideCaseSensitively) {
  TempDir dir;
  struct Case {
    std::vector<uint8_t> bytes;
    bool bitmap;
  };
  const Case cases[] = {{{'B', 'M'}, true},      {{'B', 'M', 0xFF, 0x00}, true}, {{'b', 'm', 0}, false},
                        {{'B', 'm', 0}, false},  {{'b', 'M', 0}, false},         {{'B'}, false},
                        {{}, false},             {{'M', 'B'}, false}};
  for (const Case& c : cases) {
    writeBytes(dir.file("f.bmp"), c.bytes);
    EXPECT_EQ(IsBitmap(dir.file("f.bmp")), c.bitmap) << c.bytes.size();
  }
}

TEST(BitmapKind, NamesTheDepthInGerman) {
  TempDir dir;
  struct Case {
    int16_t bits;
    const char* kind;
  };
  const Case cases[] = {{1, "Monochrome Bitmap"}, {4, "16-Farben-Bitmap"}, {8, "256-Farben-Bitmap"},
                        {16, "High Color-Bitmap"}, {24, "True Color-Bitmap"}, {32, "keine Bitmap"},
                        {0, "keine Bitmap"},       {2, "keine Bitmap"},       {-1, "keine Bitmap"}};
  for (const Case& c : cases) {
    writeBytes(dir.file("k.bmp"), header("BM", 1, 1, c.bits));
    EXPECT_EQ(BitmapKind(dir.file("k.bmp")), c.kind) << c.bits;
  }
  writeBytes(dir.file("short.bmp"), {'B', 'M', 0, 0});
  EXPECT_EQ(BitmapKind(dir.file("short.bmp")), "keine Bitmap");
}

TEST(ReadBitmapInfo, ReturnsFieldsAsReadEvenWhenNegative) {
  TempDir dir;
  writeBytes(dir.file("t.bmp"), header("BM", 64, -64, 24));
  int32_t w = 1, h = 1;
  int16_t bits = 1;
  // The three probes in a row, as one click uses them.
  EXPECT_TRUE(IsBitmap(dir.file("t.bmp")));
  EXPECT_EQ(BitmapKind(dir.file("t.bmp")), "True Color-Bitmap");
  ReadBitmapInfo(dir.file("t.bmp"), w, h, bits);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, -64);
  EXPECT_EQ(bits, 24);
}

TEST(ReadBitmapInfo, FieldsPastTheEndReadAsZero) {
  TempDir dir;
  auto bytes = header("BM", 300, 200, 8);
  bytes.resize(24);  // width whole, height half there
  writeBytes(dir.file("s.bmp"), bytes);
  int32_t w = 1, h = 1;
  int16_t bits = 1;
  ReadBitmapInfo(dir.file("s.bmp"), w, h, bits);
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(bits, 0);
}

TEST(Probe, MissingFileIsAFileNotFoundError) {
  TempDir dir;
  EXPECT_ERROR(IsBitmap(dir.file("none.bmp")), err::FileNotFound);
}

}  // namespace
}  // namespace zwp
