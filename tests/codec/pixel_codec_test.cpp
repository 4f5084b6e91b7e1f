#include "codec/pixel_codec.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/picture.h"
#include "support/expect_error.h"

namespace zwp {
namespace {

TEST(Quantisers, SnapToTheLevelOfTheirCodesRange) {
  struct Case {
    int16_t in;
    int16_t q5;
    int16_t q6;
  };
  const Case cases[] = {
      {0, 0, 0},       {3, 0, 0},        {4, 0, 7},        {7, 0, 7},       {8, 15, 8},
      {15, 15, 15},    {16, 16, 16},     {127, 127, 127},  {128, 128, 128}, {247, 240, 247},
      {248, 255, 248}, {251, 255, 248},  {252, 255, 255},  {255, 255, 255},
      {-1, 255, 255},  {256, 0, 0},      {300, 47, 47},    {-32768, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Quant5(c.in), c.q5) << c.in;
    EXPECT_EQ(Quant6(c.in), c.q6) << c.in;
  }
}

TEST(Quantisers, LevelsCopyTheCodesLowestBitIntoTheDroppedBits) {
  for (int k = 0; k < 32; ++k) {
    const int level = k % 2 ? 8 * k + 7 : 8 * k;
    for (int v = 8 * k; v < 8 * k + 8; ++v) EXPECT_EQ(Quant5(static_cast<int16_t>(v)), level) << v;
  }
  for (int k = 0; k < 64; ++k) {
    const int level = k % 2 ? 4 * k + 3 : 4 * k;
    for (int v = 4 * k; v < 4 * k + 4; ++v) EXPECT_EQ(Quant6(static_cast<int16_t>(v)), level) << v;
  }
}

TEST(Components, UseTruncatingDivisionAndSignedRemainder) {
  EXPECT_EQ(rot(colourOf(86, 52, 18)), 86);
  EXPECT_EQ(gruen(colourOf(86, 52, 18)), 52);
  EXPECT_EQ(blau(colourOf(86, 52, 18)), 18);
  EXPECT_EQ(rot(-1), -1);
  EXPECT_EQ(gruen(-1), 0);
  EXPECT_EQ(blau(-1), 0);
  EXPECT_EQ(gruen(-300), -1);
  EXPECT_EQ(blau(INT32_MIN), -32768);
  EXPECT_EQ(blau(INT32_MAX), 32767);
}

TEST(Packing, ExamplesGiveTheirWordsAndStoredForms) {
  struct Case {
    int r, g, b;
    int32_t word;
    int16_t stored;
  };
  const Case cases[] = {
      {86, 52, 18, 20898, 20898},  {100, 100, 100, 25388, 25388}, {255, 255, 255, 65535, -1},
      {0, 0, 0, 0, 0},             {255, 0, 0, 63488, -2048},     {128, 0, 0, 32768, -32768},
  };
  for (const Case& c : cases) {
    const SnappedPixel s = snapPixel(colourOf(c.r, c.g, c.b));
    EXPECT_EQ(PackPixel(s.red, s.green, s.blue), c.word);
    EXPECT_EQ(storedWord(s), c.stored);
    EXPECT_EQ(CUint(c.stored), c.word);
  }
  const SnappedPixel s = snapPixel(colourOf(86, 52, 18));
  EXPECT_EQ(s.red, 80);
  EXPECT_EQ(s.green, 55);
  EXPECT_EQ(s.blue, 16);
  EXPECT_EQ(UnpackPixel(20898), colourOf(80, 55, 16));
  EXPECT_EQ(UnpackPixel(32768), colourOf(128, 0, 0));
}

TEST(Packing, UnreadablePointBecomesPureRed) {
  EXPECT_EQ(CUint(storedWord(snapPixel(-1))), 63488);
}

TEST(StoredForm, CSintRaisesOverflowOutsideSixteenBits) {
  EXPECT_EQ(CSint(32767), 32767);
  EXPECT_EQ(CSint(32768), -32768);
  EXPECT_EQ(CSint(65535), -1);
  EXPECT_EQ(CSint(98303), 32767);
  EXPECT_EQ(CSint(-32768), -32768);
  for (const int32_t bad : {98304, -32769, INT32_MAX, INT32_MIN}) EXPECT_ERROR(CSint(bad), err::Overflow) << bad;
}

TEST(RoundTrip, EveryWordSurvivesExpansionAndPacking) {
  for (int32_t word = 0; word <= 65535; ++word) {
    const int32_t colour = UnpackPixel(CUint(CSint(word)));
    ASSERT_EQ(CUint(storedWord(snapPixel(colour))), word);
    ASSERT_EQ(snapPixel(colour).red, rot(colour)) << "expanded colours are snapped already";
  }
}

TEST(RoundTrip, EveryColourComesBackAsItsSnappedColour) {
  for (int32_t colour = 0; colour <= 0xFFFFFF; ++colour) {
    const SnappedPixel s = snapPixel(colour);
    const int16_t stored = storedWord(s);
    ASSERT_EQ(UnpackPixel(CUint(stored)), colourOf(s.red, s.green, s.blue)) << colour;
    ASSERT_EQ(fastWord(colour), static_cast<uint16_t>(stored)) << colour;
  }
  for (const int32_t odd : {-1, -2, -256, -65536, INT32_MIN, INT32_MAX, 0x1000000, 0x7F00FF00}) {
    EXPECT_EQ(fastWord(odd), static_cast<uint16_t>(storedWord(snapPixel(odd)))) << odd;
  }
}

TEST(Progress, ConvertedPixelsTurnBlackOrDarkRed) {
  struct Case {
    int r, g, b, drawn;
  };
  const Case cases[] = {{255, 255, 255, 31}, {255, 0, 0, 31}, {0, 255, 0, 0}, {0, 0, 255, 0},
                        {16, 200, 200, 16},  {8, 0, 0, 15}};
  for (const Case& c : cases) EXPECT_EQ(progressColour(snapPixel(colourOf(c.r, c.g, c.b))), c.drawn);
}

}  // namespace
}  // namespace zwp
