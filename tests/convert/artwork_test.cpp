#include "convert/artwork.h"

#include <gtest/gtest.h>

#include "codec/pixel_codec.h"
#include "convert/orientation.h"
#include "core/error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

TEST(Flatten, TransparencyBlendsOverTheBackgroundExactlyAtTheEnds) {
  const uint8_t rgba[] = {200, 10, 30, 0, 200, 10, 30, 255, 200, 10, 30, 128, 0, 0, 0, 0};
  std::vector<int32_t> row(4);
  flattenRow(rgba, 4, Alpha::Straight, colourOf(16, 32, 48), row.data());
  EXPECT_EQ(row, (std::vector<int32_t>{colourOf(16, 32, 48), colourOf(200, 10, 30), colourOf(108, 21, 39),
                                       colourOf(16, 32, 48)}));
  // Premultiplied: 100 of alpha 128 is (100 * 255 + 16 * 127) / 255 over 16, not 100 divided back first.
  const uint8_t premultiplied[] = {100, 5, 15, 128, 200, 10, 30, 255};
  flattenRow(premultiplied, 2, Alpha::Premultiplied, colourOf(16, 32, 48), row.data());
  EXPECT_EQ(row[0], colourOf(108, 21, 39));
  EXPECT_EQ(row[1], colourOf(200, 10, 30));
}

TEST(Fit, SizesKeepTheAspectRatioRoundAndNeverEnlarge) {
  const struct {
    int32_t w, h, side, fw, fh;
  } cases[] = {{300, 200, 128, 128, 85}, {200, 300, 128, 85, 128}, {100, 50, 128, 100, 50}, {129, 129, 128, 128, 128},
               {4096, 3, 128, 128, 1},   {1, 1000, 16, 1, 16},     {512, 512, 128, 128, 128}, {7, 3, 1, 1, 1}};
  for (const auto& c : cases) {
    const Size s = fittedSize(c.w, c.h, c.side);
    EXPECT_EQ(s.width, c.fw) << c.w << " x " << c.h << " in " << c.side;
    EXPECT_EQ(s.height, c.fh) << c.w << " x " << c.h << " in " << c.side;
  }
  const Picture small(3, 2, colourOf(1, 2, 3));
  EXPECT_EQ(fitInside(small, 128), small);
}

TEST(Fit, NewPixelsAreTheMeanOfTheAreaTheyCover) {
  // Each new pixel covers one and a half old ones.
  const Picture row(3, 1, {colourOf(0, 0, 0), colourOf(90, 90, 90), colourOf(180, 180, 180)});
  EXPECT_EQ(test::pixelsOf(fitInside(row, 2)), (std::vector<int32_t>{colourOf(30, 30, 30), colourOf(150, 150, 150)}));

  // Fine detail averages instead of aliasing: a one-pixel checkerboard turns grey.
  Picture checker(256, 256);
  for (int32_t y = 0; y < 256; ++y) {
    for (int32_t x = 0; x < 256; ++x) checker.set(x, y, (x + y) % 2 ? colourOf(255, 255, 255) : 0);
  }
  const Picture grey = fitInside(checker, 128);
  ASSERT_EQ(grey.width(), 128);
  for (const int32_t c : grey.pixels()) ASSERT_EQ(c, colourOf(128, 128, 128));

  // A picture without pixels has nothing to average (it used to divide by zero).
  EXPECT_THROW(fitInside(Picture(0, 200), 16), Error);
}

TEST(Fit, ShrinkingAndTurningCanComeInEitherOrder) {
  Picture p(37, 23);
  for (int32_t y = 0; y < 23; ++y) {
    for (int32_t x = 0; x < 37; ++x) p.set(x, y, colourOf(7 * x, 11 * y, (x * y) % 256));
  }
  for (int orientation = 1; orientation <= 8; ++orientation) {
    EXPECT_EQ(orient(fitInside(p, 10), orientation), fitInside(orient(p, orientation), 10)) << orientation;
  }
}

// Each Exif orientation on a picture whose eight results all differ, as the
// camera meant it to be seen (1 2 3 over 4 5 6, stored).
TEST(Orientation, EveryValueTurnsAsExifSays) {
  const Picture stored(3, 2, {1, 2, 3, 4, 5, 6});
  const struct {
    int orientation, width;
    std::vector<int32_t> seen;
  } cases[] = {{1, 3, {1, 2, 3, 4, 5, 6}}, {2, 3, {3, 2, 1, 6, 5, 4}}, {3, 3, {6, 5, 4, 3, 2, 1}},
               {4, 3, {4, 5, 6, 1, 2, 3}}, {5, 2, {1, 4, 2, 5, 3, 6}}, {6, 2, {4, 1, 5, 2, 6, 3}},
               {7, 2, {6, 3, 5, 2, 4, 1}}, {8, 2, {3, 6, 2, 5, 1, 4}}};
  for (const auto& c : cases) {
    const Picture seen = orient(stored, c.orientation);
    EXPECT_EQ(seen.width(), c.width) << c.orientation;
    EXPECT_EQ(test::pixelsOf(seen), c.seen) << c.orientation;
  }
}

TEST(Dither, EveryPixelIsALevelTheEmblemKeeps) {
  Picture ramp(64, 16);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 64; ++x) ramp.set(x, y, colourOf(4 * x, 255 - 4 * x, 16 * y + x % 7));
  }
  const Picture dithered = ditherToEmblemLevels(ramp);
  for (const int32_t c : dithered.pixels()) ASSERT_EQ(UnpackPixel(CUint(storedWord(snapPixel(c)))), c);
  EXPECT_NE(dithered, ramp);
}

// A flat colour between two levels: the error runs right along the first
// row, left along the second and right again, and 7, 3, 5 and 1 sixteenths of
// it go ahead and to the row below. Each row differs from what a raster in
// one direction, or errors carried the other way, would give.
TEST(Dither, ErrorsRunBackAndForthAlongTheRows) {
  const int32_t o = colourOf(0, 0, 15), g = colourOf(0, 7, 15), r = colourOf(15, 0, 15);
  const std::vector<int32_t> seen = {o, o, o, o, o, g,                                   // left to right
                                     r, colourOf(0, 7, 0), r, g, colourOf(15, 0, 0), o,  // right to left
                                     o, o, g, o, r, g};                                  // left to right
  EXPECT_EQ(test::pixelsOf(ditherToEmblemLevels(Picture(6, 3, std::vector<int32_t>(18, colourOf(4, 2, 12))))), seen);
}

}  // namespace
}  // namespace zwp
