// The page's PNG reading (our unfiltering of data the browser inflates) gives
// exactly the pictures libpng gives zwpconv, for every file of PngSuite, with
// the inflated data arriving in pieces of any size.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "convert/pipeline.h"
#include "convert/png_rows.h"
#include "core/error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

std::vector<uint8_t> inflated(const std::vector<uint8_t>& deflated) {
  std::vector<uint8_t> out(1 << 16);
  z_stream z{};
  inflateInit(&z);
  z.next_in = const_cast<Bytef*>(deflated.data());
  z.avail_in = static_cast<uInt>(deflated.size());
  size_t have = 0;
  for (int status = Z_OK; status == Z_OK;) {
    if (have == out.size()) out.resize(2 * out.size());
    z.next_out = out.data() + have;
    z.avail_out = static_cast<uInt>(out.size() - have);
    status = inflate(&z, Z_NO_FLUSH);
    have = out.size() - z.avail_out;
    if (status != Z_OK && status != Z_STREAM_END) have = 0;
  }
  inflateEnd(&z);
  out.resize(have);
  return out;
}

Picture byPngRows(const std::vector<uint8_t>& file, const ReadOptions& options, size_t piece) {
  PngRows png(file);
  PictureBuilder picture(png.header().width, png.header().height, png.header().orientation, options, true);
  const std::vector<uint8_t> data = inflated(png.deflated());
  for (size_t at = 0; at < data.size(); at += piece) {
    png.add(std::span(data).subspan(at, std::min(piece, data.size() - at)), picture);
  }
  png.finish(picture);
  return picture.finish();
}

TEST(PngRows, EveryPngSuiteFileReadsAsLibpngReadsIt) {
  ReadOptions options;
  options.target = Target::Png;
  options.background = 0x996633;
  size_t compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ZWP_PNGSUITE_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = test::readBytes(entry.path().string());
    std::optional<Picture> expected;
    try {
      expected = readPicture({file, name, false}, options);
    } catch (const Error&) {
    }
    for (const size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20}) {
      try {
        const Picture ours = byPngRows(file, options, piece);
        ASSERT_TRUE(expected) << "libpng refuses it";
        ASSERT_EQ(ours, *expected) << "in pieces of " << piece;
      } catch (const Error& e) {
        ASSERT_FALSE(expected) << e.what();
      }
    }
    ++compared;
  }
  EXPECT_GT(compared, 150u);
}

}  // namespace
}  // namespace zwp
