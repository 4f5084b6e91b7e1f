// Our GIF decoder on hand-made files: a frame smaller than its canvas, an
// interlaced frame, transparency, and LZW data that is cut or broken.
#include "convert/gif_decoder.h"

#include <gtest/gtest.h>

#include "convert/pipeline.h"
#include "support/expect_error.h"

namespace zwp {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr unsigned kClear = 4, kEnd = 5;  // of two-bit colour indexes

// Each index as a 3-bit literal code, a clear code often enough that the
// code width never grows; then the end code.
std::vector<unsigned> codesOf(const Bytes& indexes) {
  std::vector<unsigned> codes = {kClear};
  for (size_t i = 0; i < indexes.size(); ++i) {
    if (i > 0 && i % 2 == 0) codes.push_back(kClear);
    codes.push_back(indexes[i]);
  }
  codes.push_back(kEnd);
  return codes;
}

struct Gif {
  unsigned width = 3, height = 3;
  unsigned left = 0, top = 0, frameWidth = 3, frameHeight = 3;
  bool interlaced = false;
  int transparent = -1;
  std::vector<unsigned> codes;
  size_t subBlock = 255;

  Bytes bytes() const {
    Bytes f = {'G', 'I', 'F', '8', '9', 'a'};
    auto le16 = [&](unsigned v) { f.insert(f.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); };
    le16(width);
    le16(height);
    f.insert(f.end(), {0x81, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});  // red, green, blue, white
    if (transparent >= 0) f.insert(f.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparent), 0});
    f.push_back(0x2C);
    for (const unsigned v : {left, top, frameWidth, frameHeight}) le16(v);
    f.insert(f.end(), {static_cast<uint8_t>(interlaced ? 0x40 : 0), 2});
    Bytes data;
    uint32_t bits = 0;
    unsigned count = 0;
    for (const unsigned c : codes) {
      bits |= c << count;
      for (count += 3; count >= 8; count -= 8, bits >>= 8) data.push_back(static_cast<uint8_t>(bits));
    }
    if (count) data.push_back(static_cast<uint8_t>(bits));
    for (size_t at = 0; at < data.size(); at += subBlock) {
      const size_t n = std::min(subBlock, data.size() - at);
      f.push_back(static_cast<uint8_t>(n));
      f.insert(f.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    f.insert(f.end(), {0, 0x3B});
    return f;
  }
};

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kGround = 0x808080;

Picture read(const Bytes& file) {
  ReadOptions options;
  options.target = Target::Png;
  options.background = kGround;
  return readPicture({file, "", false}, options);
}

TEST(GifDecoder, TheFirstFrameStandsOnItsCanvasAsBrowsersShowIt) {
  Gif small;  // a 2 x 1 frame at (1, 1): red, and blue shown transparent
  small.left = small.top = 1;
  small.frameWidth = 2;
  small.frameHeight = 1;
  small.transparent = 2;
  small.codes = codesOf({0, 2});
  EXPECT_EQ(read(small.bytes()), Picture(3, 3, {kGround, kGround, kGround, kGround, kRed, kGround, kGround, kGround, kGround}));

  Gif clipped = small;  // reaching past the canvas's edge
  clipped.left = 2;
  clipped.transparent = -1;
  EXPECT_EQ(read(clipped.bytes()), Picture(3, 3, {kGround, kGround, kGround, kGround, kGround, kRed, kGround, kGround, kGround}));

  Gif interlaced;  // rows arrive as 0, 4, 2, 1, 3
  interlaced.width = interlaced.frameWidth = 1;
  interlaced.height = interlaced.frameHeight = 5;
  interlaced.interlaced = true;
  interlaced.codes = codesOf({0, 3, 2, 1, 3});
  EXPECT_EQ(read(interlaced.bytes()), Picture(1, 5, {kRed, kGreen, kBlue, kWhite, kWhite}));

  Gif nothing = interlaced;  // an interlaced frame without a pixel: the canvas alone
  nothing.frameWidth = 0;
  nothing.codes = {kClear, kEnd};
  EXPECT_EQ(read(nothing.bytes()), Picture(1, 5, {kGround, kGround, kGround, kGround, kGround}));
}

TEST(GifDecoder, CutOrBrokenDataIsDamaged) {
  Gif whole;
  whole.codes = codesOf({0, 1, 2, 3, 0, 1, 2, 3, 0});
  whole.subBlock = 2;
  EXPECT_NO_THROW(read(whole.bytes()));

  Gif endsEarly = whole, beyondTable = whole, firstCodeRepeats = whole;
  endsEarly.codes.erase(endsEarly.codes.end() - 3, endsEarly.codes.end() - 1);
  beyondTable.codes[3] = 7;  // after a clear, only codes up to 6 exist
  firstCodeRepeats.codes[1] = 6;  // the code being defined, with nothing before it
  const Bytes file = whole.bytes();
  const Bytes cutFile(file.begin(), file.begin() + 40);
  Bytes garbageBlock = file;
  garbageBlock.resize(36);  // up to the LZW code size
  garbageBlock.insert(garbageBlock.end(), {3, 0xFF, 0xFF, 0xFF, 0, 0x3B});
  for (const Bytes& damaged : {endsEarly.bytes(), beyondTable.bytes(), firstCodeRepeats.bytes(), cutFile, garbageBlock}) {
    EXPECT_EQ(test::refusalOf([&] { read(damaged); }), Refusal::Damaged) << damaged.size() << " bytes";
  }
}

}  // namespace
}  // namespace zwp
