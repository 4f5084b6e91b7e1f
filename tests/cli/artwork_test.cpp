// zwpconv with artwork from other programs: files written by PIL and
// ImageMagick (tests/imageio/fixtures), read through Qt's image plugins.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "cli/batch.h"
#include "codec/emblem_file.h"
#include "core/byte_file.h"
#include "convert/pipeline.h"
#include "support/test_files.h"
#include "support/zwpconv_run.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string art(const std::string& name) { return std::string(ZWP_ART_DIR) + "/" + name; }

using Outcome = test::ZwpconvRun;
using test::zwpconv;

Picture ppm(const std::string& name) {
  const test::PpmPicture p = test::readPpm(art(name));
  return Picture(p.width, p.height, p.pixels);
}

// A picture file as the pipeline reads it, at its own size.
Picture decoded(const std::string& path) {
  ReadOptions options;
  options.target = Target::Png;
  return readPicture({test::readBytes(path), path, false}, options);
}

// The picture an emblem file shows: its words expanded.
Picture emblemAt(const std::string& path) {
  auto emblem = readEmblemFile(path);
  EXPECT_TRUE(emblem) << path;
  return emblem ? emblem->picture : Picture();
}

TEST(Artwork, PicturesOfOtherFormatsBecomeExactlyTheirSnappedEmblems) {
  TempDir d;
  const struct {
    const char* file;
    std::vector<std::string> options;
    const char* expected;  // PPM of the colours the picture reads as
  } cases[] = {{"opaque.png", {}, "opaque.ppm"},
               {"alpha.png", {}, "alpha_over_white.ppm"},
               {"anim.gif", {}, "anim.ppm"},
               // Straight alpha composited as stored, not premultiplied and divided back first.
               {"alpha.tif", {"-f", "--background", "#336699"}, "alpha_over_336699.ppm"},
               {"alpha.tga", {"-f", "--background", "#336699"}, "alpha_over_336699.ppm"},
               {"alpha.webp", {"-f", "--background", "#336699"}, "alpha_over_336699.ppm"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> args = {"-o", d.path().string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(art(c.file));
    const Outcome r = zwpconv(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = d.file(fs::path(c.file).stem().string() + ".zwp");
    EXPECT_EQ(test::readBytes(out), encodeEmblem(ppm(c.expected)));
  }
}

TEST(Artwork, TransparencyTakesTheChosenBackground) {
  TempDir d;
  for (const auto& [background, colour] : {std::pair<std::string, int32_t>{"#102030", colourOf(0x10, 0x20, 0x30)},
                                           {"black", 0}, {"steelblue", colourOf(70, 130, 180)}}) {
    const Outcome r = zwpconv({"-f", "--to", "png", "--background", background, "-o", d.path().string(), art("alpha.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p = decoded(d.file("alpha.png"));
    for (int32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(p.at(x, 0), colour) << background << ": fully transparent is exactly the background";
      EXPECT_EQ(p.at(x, 1), ppm("alpha_over_white.ppm").at(x, 1)) << "opaque stays itself";
    }
  }
  EXPECT_EQ(zwpconv({"--background", "nocolour", art("alpha.png")}).status, 2);
}

TEST(Artwork, LargePicturesNeedFitAndShrinkByAreaAveraging) {
  TempDir d;
  EXPECT_EQ(zwpconv({"--info", art("photo.jpg")}).out, art("photo.jpg") + ": 70 x 46, JPEG\n");
  const Outcome refused = zwpconv({"-o", d.path().string(), art("wide.png")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Ungültiges Bild: größer als 128 × 128 Pixel"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(d.file("wide.zwp")));

  ASSERT_EQ(zwpconv({"--fit", "128", "-o", d.path().string(), art("wide.png"), art("checker.png")}).status, 0);
  const Picture wide = emblemAt(d.file("wide.zwp"));
  EXPECT_EQ(wide.width(), 128);
  EXPECT_EQ(wide.height(), 85);
  const Picture checker = emblemAt(d.file("checker.zwp"));
  ASSERT_EQ(checker.width(), 128);
  for (const int32_t c : checker.pixels()) ASSERT_EQ(c, colourOf(128, 128, 128)) << "grey, not black or white";
  for (const char* bad : {"0", "129", "x", "12x"}) EXPECT_EQ(zwpconv({"--fit", bad, art("wide.png")}).status, 2) << bad;
}

// Error after a Gaussian blur of sigma 1.5 px: what the eye sees from a
// normal viewing distance.
double blurredError(const Picture& a, const Picture& b) {
  std::array<double, 11> kernel{};
  double sum = 0;
  for (int i = -5; i <= 5; ++i) sum += kernel[static_cast<size_t>(i + 5)] = std::exp(-i * i / (2 * 1.5 * 1.5));
  const int32_t w = a.width(), h = a.height();
  auto blur = [&](const Picture& p, int shift) {
    std::vector<double> across(static_cast<size_t>(w * h)), out(across.size());
    auto at = [&](int32_t x, int32_t y) { return (p.at(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1)) >> shift) & 0xFF; };
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        double v = 0;
        for (int i = -5; i <= 5; ++i) v += kernel[static_cast<size_t>(i + 5)] * at(x + i, y);
        across[static_cast<size_t>(y * w + x)] = v / sum;
      }
    }
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        double v = 0;
        for (int i = -5; i <= 5; ++i) v += kernel[static_cast<size_t>(i + 5)] * across[static_cast<size_t>(std::clamp(y + i, 0, h - 1) * w + x)];
        out[static_cast<size_t>(y * w + x)] = v / sum;
      }
    }
    return out;
  };
  double total = 0;
  for (const int shift : {0, 8, 16}) {
    const auto ba = blur(a, shift), bb = blur(b, shift);
    for (size_t i = 0; i < ba.size(); ++i) total += std::abs(ba[i] - bb[i]);
  }
  return total / (3.0 * w * h);
}

TEST(Artwork, DitheringAtLeastHalvesTheVisibleError) {
  TempDir d;
  for (const char* name : {"gradient.png", "photo.png"}) {
    SCOPED_TRACE(name);
    const Picture original = decoded(art(name));
    ASSERT_EQ(zwpconv({"-o", d.path().string(), art(name)}).status, 0);
    const std::string stem = fs::path(name).stem().string();
    fs::rename(d.file(stem + ".zwp"), d.file(stem + ".plain.zwp"));
    ASSERT_EQ(zwpconv({"--dither", "-o", d.path().string(), art(name)}).status, 0);
    const double plain = blurredError(original, emblemAt(d.file(stem + ".plain.zwp")));
    const double dithered = blurredError(original, emblemAt(d.file(stem + ".zwp")));
    EXPECT_LE(dithered, 0.5 * plain) << "plain " << plain << ", dithered " << dithered;
  }
}

TEST(Artwork, EmblemsBecomeExactPngs) {
  TempDir d;
  std::vector<uint16_t> words;
  for (uint32_t w = 0; w < 65536; w += 97) words.push_back(static_cast<uint16_t>(w));
  test::writeBytes(d.file("all.zwp"), test::emblemFile(static_cast<int32_t>(words.size()), 1, words));
  ASSERT_EQ(zwpconv({"--to", "png", d.file("all.zwp")}).status, 0);
  EXPECT_EQ(decoded(d.file("all.png")), emblemAt(d.file("all.zwp")));
}

// A PNG whose header claims 100000 x 100000 pixels; the checksum is right.
std::vector<uint8_t> absurdPng() {
  std::vector<uint8_t> png = test::readBytes(art("opaque.png"));
  for (size_t i = 0; i < 4; ++i) png[16 + i] = png[20 + i] = std::array<uint8_t, 4>{0, 1, 0x86, 0xA0}[i];
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 12; i < 29; ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc ^= 0xFFFFFFFF;
  for (size_t i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

TEST(Artwork, DamagedAndHostileFilesAreRefusedAndNothingIsWritten) {
  TempDir d;
  const std::vector<uint8_t> png = test::readBytes(art("opaque.png"));
  const std::vector<uint8_t> jpeg = test::readBytes(art("photo.jpg"));
  std::vector<uint8_t> hugeJpeg = jpeg;
  for (size_t i = 0; i + 8 < hugeJpeg.size(); ++i) {
    if (hugeJpeg[i] == 0xFF && (hugeJpeg[i + 1] == 0xC0 || hugeJpeg[i + 1] == 0xC2)) {
      hugeJpeg[i + 5] = hugeJpeg[i + 7] = 0xEA;  // 60000 x 60000
      hugeJpeg[i + 6] = hugeJpeg[i + 8] = 0x60;
      break;
    }
  }
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* says;
  } cases[] = {{"cut.png", {png.begin(), png.begin() + static_cast<long>(png.size() / 2)}, "beschädigt oder abgeschnitten"},
               {"cut.jpg", {jpeg.begin(), jpeg.begin() + 300}, "beschädigt oder abgeschnitten"},
               {"huge.png", absurdPng(), "Bildgröße außerhalb der Grenzen"},
               {"huge.jpg", hugeJpeg, "Bildgröße außerhalb der Grenzen"},
               {"noise.png", std::vector<uint8_t>(64, 0x5A), "kein Bild"}};
  for (const auto& c : cases) {
    test::writeBytes(d.file(c.name), c.bytes);
    const Outcome r = zwpconv({"--fit", "64", d.file(c.name)});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
  }
  EXPECT_EQ(d.entries().size(), std::size(cases)) << "nothing written";
}

TEST(Artwork, RecursiveRunsTakePictureFilesAndSkipLinkedFolders) {
  TempDir d;
  fs::create_directories(d.file("tree/sub"));
  fs::create_directories(d.file("elsewhere"));
  fs::copy_file(art("opaque.png"), d.file("tree/a.png"));
  fs::copy_file(art("anim.gif"), d.file("tree/sub/b.GIF"));
  fs::copy_file(art("opaque.png"), d.file("elsewhere/c.png"));
  fs::create_symlink(d.file("elsewhere"), d.file("tree/link"));
  test::writeBytes(d.file("tree/notes.txt"), {'x'});
  const Outcome r = zwpconv({"-r", d.file("tree")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(d.file("tree/a.zwp")));
  EXPECT_TRUE(fs::exists(d.file("tree/sub/b.zwp")));
  EXPECT_FALSE(fs::exists(d.file("elsewhere/c.zwp")));
  EXPECT_FALSE(fs::exists(d.file("tree/notes.zwp")));

  fs::copy_file(art("opaque.png"), d.file("-x.png"));
  const fs::path cwd = fs::current_path();
  fs::current_path(d.path());
  EXPECT_EQ(zwpconv({"--", "-x.png"}).status, 0);
  fs::current_path(cwd);
  EXPECT_TRUE(fs::exists(d.file("-x.zwp")));
}

}  // namespace
}  // namespace zwp
