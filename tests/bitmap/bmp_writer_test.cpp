#include "bitmap/bmp_writer.h"

#include <gtest/gtest.h>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "core/byte_file.h"
#include "support/test_files.h"

namespace zwp {
namespace {

TEST(BmpWriter, HeaderRowsAndPaddingOfA3x2Picture) {
  const Picture p(3, 2, {colourOf(1, 2, 3), colourOf(4, 5, 6), colourOf(7, 8, 9),
                        colourOf(10, 11, 12), colourOf(13, 14, 15), colourOf(16, 17, 18)});
  const auto b = encodeBmp24(p);
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(readLe32(&b[2]), 78u);
  EXPECT_EQ(readLe32(&b[10]), 54u);
  EXPECT_EQ(readLe32(&b[14]), 40u);
  EXPECT_EQ(readLe16(&b[28]), 24);
  EXPECT_EQ(readLe32(&b[34]), 24u);
  // Bottom row first, blue green red, three zero padding bytes.
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54, b.begin() + 66),
            (std::vector<uint8_t>{12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0}));
  EXPECT_EQ(b[66], 3);
}

TEST(BmpWriter, OddWidthsReadBackExactly) {
  for (const int32_t w : {1, 2, 3, 5, 7, 33, 127, 128}) {
    Picture p(w, 3);
    for (size_t i = 0; i < p.pixels().size(); ++i) p.pixels()[i] = static_cast<int32_t>((i * 0x9E3779B1u) & 0xFFFFFF);
    EXPECT_EQ(decodeBmp(encodeBmp24(p)), p) << w;
  }
}

TEST(BmpWriter, FileIsAcceptedByTheProbeAndReplacesOldFile) {
  test::TempDir dir;
  const std::string path = dir.file("out.bmp");
  test::writeBytes(path, std::vector<uint8_t>(5000, 1));
  writeBmp24File(path, IfExists::Replace, Picture(4, 4, colourOf(9, 8, 7)));
  EXPECT_EQ(test::readBytes(path).size(), 54u + 4 * 12);
  EXPECT_TRUE(IsBitmap(path));
  EXPECT_EQ(BitmapKind(path), "True Color-Bitmap");
  EXPECT_EQ(loadBmpFile(path).at(3, 3), colourOf(9, 8, 7));
}

}  // namespace
}  // namespace zwp
