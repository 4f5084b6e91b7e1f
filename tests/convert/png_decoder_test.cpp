// Our PNG decoder reads every PngSuite file as libpng does (the same picture
// or a refusal alike), and judges damaged files by one table of rules.
#include "convert/png_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "convert/pipeline.h"
#include "support/expect_error.h"
#include "support/libpng_reference.h"
#include "support/test_files.h"

namespace zwp {
namespace {

using Bytes = std::vector<uint8_t>;

std::optional<Picture> byLibpng(const Bytes& file, const ReadOptions& options) {
  try {
    const auto libpng = test::libpngReference();
    MemoryInput input(file);
    const PictureHeader h = libpng->header(input);
    PictureBuilder picture(h.width, h.height, h.orientation, options, Rows::InStrips);
    libpng->decode(input, picture);
    return picture.finish();
  } catch (const Error&) {
    return std::nullopt;
  }
}

TEST(PngDecoder, EveryPngSuiteFileReadsAsLibpngReadsIt) {
  ReadOptions options;
  options.target = Target::Png;
  options.background = 0x996633;
  size_t compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ZWP_PNGSUITE_DIR)) {
    if (entry.path().extension() != ".png") continue;
    const std::string name = entry.path().filename().string();
    const Bytes file = test::readBytes(entry.path().string());
    const std::optional<Picture> expected = byLibpng(file, options);
    std::optional<Picture> ours;
    try {
      ours = readPicture({file, name, false}, options);
    } catch (const Error&) {
    }
    EXPECT_EQ(ours, expected) << name;
    ++compared;
  }
  EXPECT_GT(compared, 150u);
}

void appendBe32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

struct Chunk {
  std::string type;
  Bytes data;
  bool badCrc = false;
};

Bytes pngOf(const std::vector<Chunk>& chunks) {
  Bytes f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Chunk& c : chunks) {
    appendBe32(f, static_cast<uint32_t>(c.data.size()));
    Bytes body(c.type.begin(), c.type.end());
    body.insert(body.end(), c.data.begin(), c.data.end());
    f.insert(f.end(), body.begin(), body.end());
    appendBe32(f, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))) ^ (c.badCrc ? 1u : 0u));
  }
  return f;
}

TEST(PngDecoder, DamagedFilesAreRefusedByOneSetOfRules) {
  Bytes ihdr;
  appendBe32(ihdr, 2);
  appendBe32(ihdr, 1);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 2 x 1, 8-bit RGB
  const Bytes rows = {0, 255, 0, 0, 0, 0, 255};  // red, blue
  Bytes stream(64);
  uLongf size = stream.size();
  compress(stream.data(), &size, rows.data(), rows.size());
  stream.resize(size);
  const Bytes half1(stream.begin(), stream.begin() + 5), half2(stream.begin() + 5, stream.end());
  Bytes badAdler = stream, trailing = stream;
  badAdler.back() ^= 1;
  trailing.insert(trailing.end(), {1, 2, 3});
  Bytes huge = ihdr;
  huge[0] = 0x08;  // 0x08000002 pixels wide
  const Chunk head{"IHDR", ihdr}, end{"IEND", {}}, text{"tEXt", {'a', 0, 'b'}};
  const Picture redBlue(2, 1, {0x0000FF, 0xFF0000});

  const struct {
    const char* what;
    std::vector<Chunk> chunks;
    Refusal refusal;
  } cases[] = {
      {"whole", {head, {"IDAT", stream}, end}, Refusal::None},
      {"data in two chunks", {head, {"IDAT", half1}, {"IDAT", half2}, end}, Refusal::None},
      {"bytes after the stream", {head, {"IDAT", trailing}, end}, Refusal::None},
      {"no end chunk", {head, {"IDAT", stream}}, Refusal::None},
      {"a damaged ancillary chunk", {head, {"tEXt", {'a', 0}, true}, {"IDAT", stream}, end}, Refusal::None},
      {"a damaged end chunk", {head, {"IDAT", stream}, {"IEND", {}, true}}, Refusal::Damaged},
      {"a wrong Adler-32", {head, {"IDAT", badAdler}, end}, Refusal::Damaged},
      {"a palette after the data", {head, {"IDAT", stream}, {"PLTE", {1, 2, 3}}, end}, Refusal::Damaged},
      {"two headers", {head, head, {"IDAT", stream}, end}, Refusal::Damaged},
      {"text between the data", {head, {"IDAT", half1}, text, {"IDAT", half2}, end}, Refusal::Damaged},
      {"an unknown critical chunk", {head, {"ABCD", {}}, {"IDAT", stream}, end}, Refusal::Damaged},
      {"no data", {head, end}, Refusal::Damaged},
      {"a header claiming 134 million columns", {{"IHDR", huge}, {"IDAT", stream}, end}, Refusal::OutOfBounds},
  };
  ReadOptions options;
  options.fit = 16;
  for (const auto& c : cases) {
    const Bytes file = pngOf(c.chunks);
    EXPECT_EQ(test::refusalOf([&] { EXPECT_EQ(readPicture({file, "", false}, options), redBlue) << c.what; }), c.refusal)
        << c.what;
  }
}

}  // namespace
}  // namespace zwp
