#include "codec/emblem_file.h"

#include <gtest/gtest.h>

#include <random>

#include "core/error.h"
#include "support/test_files.h"
#include "support/expect_error.h"

namespace zwp {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

Picture pictureOf(int32_t w, int32_t h, std::vector<int32_t> colours) { return Picture(w, h, std::move(colours)); }

std::vector<uint8_t> written(const Picture& p, int32_t w, int32_t h) {
  VectorSink sink;
  writeEmblem(sink, p, w, h);
  return sink.bytes;
}

TEST(EmblemWrite, TwoByOneFileIsExactToTheByte) {
  const auto bytes = written(pictureOf(2, 1, {colourOf(255, 255, 255), colourOf(255, 0, 0)}), 2, 1);
  ASSERT_EQ(bytes.size(), 284u);
  for (size_t i = 0; i < 272; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 272, bytes.end()),
            (std::vector<uint8_t>{2, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0x00, 0xF8}));
}

TEST(EmblemWrite, SinglePixelWords) {
  struct Case {
    int r, g, b;
    uint8_t lo, hi;
  };
  const Case cases[] = {{255, 255, 255, 0xFF, 0xFF}, {255, 0, 0, 0x00, 0xF8}, {0, 255, 0, 0xE0, 0x07},
                        {0, 0, 255, 0x1F, 0x00},     {0, 0, 0, 0x00, 0x00},   {86, 52, 18, 0xA2, 0x51}};
  for (const Case& c : cases) {
    const auto bytes = written(pictureOf(1, 1, {colourOf(c.r, c.g, c.b)}), 1, 1);
    ASSERT_EQ(bytes.size(), 282u);
    EXPECT_EQ(bytes[280], c.lo);
    EXPECT_EQ(bytes[281], c.hi);
  }
}

TEST(EmblemWrite, RowsFollowWithoutPaddingInPixelOrder) {
  std::vector<int32_t> colours;
  for (int i = 0; i < 6; ++i) colours.push_back(UnpackPixel(i + 1));
  const auto bytes = written(pictureOf(3, 2, colours), 3, 2);
  ASSERT_EQ(bytes.size(), 280u + 12u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(bytes[280 + 2 * i], i + 1) << "word " << i;
  EXPECT_EQ(bytes[286], 4) << "second row starts at 286";
}

TEST(EmblemWrite, SizesWithoutPixelsGiveTheHeaderAlone) {
  struct Case {
    int32_t w, h;
  };
  for (const Case c : {Case{0, 0}, Case{5, 0}, Case{0, 5}, Case{-3, 4}, Case{4, -64}, Case{INT32_MIN, 1}}) {
    const auto bytes = written(Picture(), c.w, c.h);
    ASSERT_EQ(bytes.size(), 280u);
    EXPECT_EQ(readLe32(&bytes[272]), static_cast<uint32_t>(c.w));
    EXPECT_EQ(readLe32(&bytes[276]), static_cast<uint32_t>(c.h));
  }
}

TEST(EmblemWrite, PixelsBeyondThePictureArePureRed) {
  const auto bytes = written(pictureOf(1, 1, {0}), 2, 1);
  EXPECT_EQ(bytes[282], 0x00);
  EXPECT_EQ(bytes[283], 0xF8);
}

TEST(EmblemWrite, AbsurdSizesAreAnOverflow) {
  EXPECT_ERROR(written(Picture(), 100000, 100000), err::Overflow);
}

TEST(EmblemWrite, ReportsEachRowWithItsWords) {
  std::vector<std::pair<int32_t, std::vector<uint16_t>>> seen;
  VectorSink sink;
  writeEmblem(sink, pictureOf(2, 2, {colourOf(255, 255, 255), 0, colourOf(8, 0, 0), 0}), 3, 3,
              [&](int32_t y, std::span<const uint16_t> words) { seen.emplace_back(y, std::vector(words.begin(), words.end())); });
  const std::vector<std::pair<int32_t, std::vector<uint16_t>>> expected = {
      {0, {0xFFFF, 0, 0xF800}}, {1, {0x0800, 0, 0xF800}}, {2, {0xF800, 0xF800, 0xF800}}};
  EXPECT_EQ(seen, expected) << "pixels outside the picture are stored as pure red";
}

// The bulk encoder against the codec's rules applied pixel by pixel, for
// proper colours and for values no picture should hold, with rows that are
// wider and narrower than the picture.
TEST(EmblemWrite, EncodesExactlyAsThePixelRulesSay) {
  std::mt19937 rng(7);
  Picture p(37, 23);
  for (auto& c : p.pixels()) c = static_cast<int32_t>(rng() & 0xFFFFFF);
  p.pixels()[100] = -1;
  p.pixels()[500] = INT32_MIN;
  for (const auto& [w, h] : {std::pair{37, 23}, {40, 25}, {5, 30}, {1, 1}}) {
    VectorSink expected;
    EmblemHeader header;
    header.Width = w;
    header.Height = h;
    WriteEmblemHeader(expected, header);
    std::vector<int32_t> progress;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const SnappedPixel s = snapPixel(x < p.width() && y < p.height() ? p.at(x, y) : -1);
        WritePixelWord(expected, storedWord(s));
        progress.push_back(progressColour(s));
      }
    }
    std::vector<int32_t> drawn;
    VectorSink sink;
    writeEmblem(sink, p, w, h, [&](int32_t, std::span<const uint16_t> words) {
      for (const uint16_t word : words) drawn.push_back(progressColourOfWord(word));
    });
    EXPECT_EQ(sink.bytes, expected.bytes) << w << " x " << h;
    EXPECT_EQ(drawn, progress) << w << " x " << h;
  }
  EXPECT_EQ(encodeEmblem(p), written(p, p.width(), p.height()));
}

TEST(EmblemFile, OverwritesLongerFileWithExactLength) {
  TempDir dir;
  const std::string path = dir.file("w.zwp");
  writeBytes(path, std::vector<uint8_t>(50000, 0xAB));
  writeEmblemFile(path, IfExists::Replace, Picture(128, 128), 128, 128);
  EXPECT_EQ(readBytes(path).size(), 33048u);
  writeEmblemFile(path, IfExists::Replace, Picture(), 0, 0);
  EXPECT_EQ(readBytes(path).size(), 280u);
}

TEST(EmblemFile, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.file("w.zwp");
  writeBytes(path, {1, 2, 3});
  EXPECT_THROW(writeEmblemFile(path, IfExists::Replace, Picture(4, 4), 4, 4,
                               [](int32_t y, std::span<const uint16_t>) {
                                 if (y == 1) throw Error(err::DiskFull);
                               }),
               Error);
  EXPECT_EQ(readBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"w.zwp"});
}

TEST(EmblemRead, DecodesWordsInFileOrder) {
  const auto emblem = decodeEmblem(test::emblemFile(3, 2, {1, 2, 3, 0xF800, 5, 0xFFFF}));
  ASSERT_TRUE(emblem);
  EXPECT_EQ(emblem->header.Width, 3);
  EXPECT_EQ(emblem->picture.at(0, 1), colourOf(255, 0, 0)) << "fourth word is (0, 1) when 3 wide";
  EXPECT_EQ(emblem->picture.at(2, 1), colourOf(255, 255, 255));
  EXPECT_EQ(emblem->picture.at(1, 0), UnpackPixel(2));
}

TEST(EmblemRead, IgnoresReservedBytesAndTrailingBytes) {
  const auto plain = test::emblemFile(2, 2, {10, 20, 30, 40});
  auto noisy = plain;
  for (size_t i = 0; i < 272; ++i) noisy[i] = static_cast<uint8_t>(i * 7 + 1);
  noisy.insert(noisy.end(), {9, 9, 9, 9, 9});
  const auto a = decodeEmblem(plain), b = decodeEmblem(noisy);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->picture, b->picture);
  EXPECT_EQ(b->header.Reserved[1], 8);
}

TEST(EmblemRead, ShortFileReadsMissingWordsAsBlack) {
  auto bytes = test::emblemFile(2, 2, {0xFFFF});
  bytes.push_back(0xFF);  // half a word
  const auto e = decodeEmblem(bytes);
  ASSERT_TRUE(e);
  EXPECT_EQ(test::pixelsOf(e->picture), (std::vector<int32_t>{colourOf(255, 255, 255), UnpackPixel(0x00FF), 0, 0}));

  const auto headerOnly = decodeEmblem(std::vector<uint8_t>(276, 0));
  ASSERT_TRUE(headerOnly);
  EXPECT_EQ(headerOnly->picture.pixels().size(), 0u);
  const auto empty = decodeEmblem({});
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->header.Width, 0);
}

TEST(EmblemRead, HostileSizesAreRefusedBeforeAnyMemoryIsSized) {
  struct Case {
    int64_t w, h;
    bool usable;
  };
  const Case cases[] = {{0, 0, true},          {0, 70000, false},     {-1, 1, false},       {1, -1, false},
                        {INT32_MIN, 1, false}, {INT32_MAX, 0, false}, {32767, 512, true},  {32768, 1, false},
                        {4096, 4096, true},    {4097, 4096, false},   {32767, 32767, false}};
  for (const Case& c : cases) {
    const auto e = decodeEmblem(test::emblemFile(static_cast<int32_t>(c.w), static_cast<int32_t>(c.h), {}));
    EXPECT_EQ(e.has_value(), c.usable) << c.w << "x" << c.h;
  }
}

TEST(EmblemFile, WrittenFileReadsBackAsTheSnappedPicture) {
  TempDir dir;
  Picture p(5, 3);
  for (size_t i = 0; i < p.pixels().size(); ++i) p.pixels()[i] = static_cast<int32_t>(i * 0x0F1D37u & 0xFFFFFF);
  writeEmblemFile(dir.file("r.zwp"), IfExists::Keep, p, 5, 3);
  const auto e = readEmblemFile(dir.file("r.zwp"));
  ASSERT_TRUE(e);
  for (size_t i = 0; i < p.pixels().size(); ++i) {
    const SnappedPixel s = snapPixel(p.pixels()[i]);
    EXPECT_EQ(e->picture.pixels()[i], colourOf(s.red, s.green, s.blue));
  }
}

}  // namespace
}  // namespace zwp
