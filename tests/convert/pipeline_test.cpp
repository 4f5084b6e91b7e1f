// The pipeline's own rules on hand-made files: formats by content, the sizes
// it refuses and why, cut files, Exif orientation, and our TGA decoder.
#include "convert/pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "bitmap/bmp_reader.h"
#include "bitmap/bmp_writer.h"
#include "convert/artwork.h"
#include "convert/completeness.h"
#include "convert/encode.h"
#include "convert/orientation.h"
#include "core/error.h"
#include "support/bmp_builder.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

Refusal reasonOf(const std::function<void()>& action) { return test::refusalOf(action); }

// A TGA of 2 x 2 pixels: red, green / blue, white as seen, stored from the
// corner the descriptor names, 24-bit or run-length encoded.
Bytes tga(uint8_t descriptor, bool rle) {
  Bytes f = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, descriptor};
  const bool top = descriptor & 0x20, right = descriptor & 0x10;
  const uint8_t seen[2][2][3] = {{{0, 0, 255}, {0, 255, 0}}, {{255, 0, 0}, {255, 255, 255}}};  // BGR
  for (int row = 0; row < 2; ++row) {
    if (rle) f.push_back(0x01);  // a raw packet of two pixels
    for (int col = 0; col < 2; ++col) {
      const auto& c = seen[top ? row : 1 - row][right ? 1 - col : col];
      f.insert(f.end(), c, c + 3);
    }
  }
  return f;
}

TEST(Pipeline, FormatsAreKnownByContentAndTgaByItsName) {
  const struct {
    Bytes head;
    const char* name;
    Format format;
  } cases[] = {{text("BM"), "x.png", Format::Bmp},
               {text("\x89PNG\r\n\x1a\n"), "x", Format::Png},
               {{0xFF, 0xD8, 0xFF, 0xE0}, "x.bmp", Format::Jpeg},
               {text("GIF89a"), "", Format::Gif},
               {text(std::string("RIFF\0\0\0\0WEBP", 12)), "", Format::Webp},
               {{'I', 'I', 42, 0}, "", Format::Tiff},
               {{'M', 'M', 0, 42}, "", Format::Tiff},
               {tga(0, false), "X.TGA", Format::Tga},
               {tga(0, false), "x.bmp", Format::Unknown},
               {text("<svg xmlns='http://www.w3.org/2000/svg'/>"), "x.svg", Format::Unknown}};
  for (const auto& c : cases) EXPECT_EQ(formatOf(c.head, c.name), c.format) << c.name;
}

TEST(Pipeline, SizesAreRefusedForTheirReasonBeforeAnyPixel) {
  ReadOptions emblem, fitted, png, window;
  fitted.fit = 64;
  png.target = Target::Png;
  window.takesEmpty = true;
  const struct {
    int64_t w, h;
    const ReadOptions& options;
    Rows rows;
    Refusal reason;
  } cases[] = {{128, 128, emblem, Rows::Whole, Refusal::None},   {129, 1, emblem, Rows::Whole, Refusal::TooLarge},
               {129, 1, png, Rows::Whole, Refusal::None},         {0, 5, emblem, Rows::Whole, Refusal::Empty},
               {5, 0, window, Rows::Whole, Refusal::None},
               {0, 5, fitted, Rows::Whole, Refusal::Empty},       {0, 5, png, Rows::Whole, Refusal::Empty},
               {8000, 6000, fitted, Rows::InStrips, Refusal::None},   {8000, 6000, fitted, Rows::Whole, Refusal::OutOfBounds},
               {65536, 2, fitted, Rows::InStrips, Refusal::OutOfBounds}, {20000, 20000, fitted, Rows::InStrips, Refusal::OutOfBounds}};
  for (const auto& c : cases) {
    EXPECT_EQ(reasonOf([&] { checkSize(c.w, c.h, c.options, c.rows); }), c.reason) << c.w << " x " << c.h;
  }
  // An emblem file must hold a whole header, but for the window.
  const Bytes header(kEmblemHeaderSize - 1, 0);
  EXPECT_EQ(reasonOf([&] { readPicture({header, "e.zwp", true}, png); }), Refusal::Damaged);
  EXPECT_EQ(readPicture({header, "e.zwp", true}, window).width(), 0);
  PictureBuilder rowsMissing(2, 2, 1, emblem, Rows::Whole);
  const uint8_t row[8] = {};
  rowsMissing.addRows(row, 1, sizeof row, Alpha::Straight);
  EXPECT_EQ(reasonOf([&] { rowsMissing.finish(); }), Refusal::Damaged);
  // A host program's picture is fitted within the same bounds as a file.
  const auto grey = [](int32_t, uint8_t* rgba) { std::fill_n(rgba, 5000 * 4, uint8_t{128}); };
  EXPECT_EQ(emblemFromRows(5000, 4000, grey, fitted).size(), kEmblemHeaderSize + 2u * 64 * 51);
  EXPECT_EQ(reasonOf([&] { emblemFromRows(5000, 4000, grey, emblem); }), Refusal::TooLarge);
}

// Bitmaps are shrunk as their rows come, bottom row first unless top-down:
// exactly what shrinking the whole decoded picture gives, and up to the
// fitted bounds rather than one picture in memory.
TEST(Pipeline, BitmapsShrinkRowByRowInEitherRowOrder) {
  ReadOptions fitted;
  fitted.fit = 2;
  for (const int32_t height : {5, -5}) {
    test::BmpBuilder b;
    b.width = 3;
    b.height = height;
    for (int i = 0; i < 5; ++i) b.data.insert(b.data.end(), {uint8_t(40 * i), uint8_t(7 * i), 200, 9, 99, uint8_t(i), 0, 0, 0, 0, 0, 0});
    b.data.resize(5 * 12);
    const Bytes bmp = b.bytes();
    EXPECT_EQ(readPicture({bmp, "b.bmp", false}, fitted), fitInside(decodeBmp(bmp), 2)) << height;
  }
  test::BmpBuilder photo;  // 5000 x 4000 at one bit: 20 Mi pixels in 2.5 MB
  photo.width = 5000;
  photo.height = 4000;
  photo.bitCount = 1;
  photo.palette = {0x000000, 0xFFFFFF};
  photo.data.assign(size_t{628} * 4000, 0x55);
  fitted.fit = 128;
  EXPECT_EQ(readPicture({photo.bytes(), "p.bmp", false}, fitted).width(), 128);
  EXPECT_EQ(reasonOf([&] { decodeBmp(photo.bytes()); }), Refusal::OutOfBounds);
}

// A file is read only as far as its reader needs: a picture followed by
// gigabytes it never reads converts, and an emblem's words beyond its picture
// are never read.
TEST(Pipeline, FilesAreReadOnlyAsFarAsNeeded) {
  test::TempDir dir;
  const std::string big = dir.file("big.bmp");
  test::writeBytes(big, encodeBmp24(Picture(3, 2)));
  std::filesystem::resize_file(big, uint64_t{5} << 30);  // sparse: nothing is written
  EXPECT_EQ(readPicture(PictureFile::open(big, false), {.target = Target::Bmp}).width(), 3);
  EXPECT_EQ(readEmblemBytes(big).size(), kMaxEmblemFileBytes);
}

TEST(Pipeline, CutFilesAreRefusedAndWholeOnesPass) {
  const Bytes rle = tga(0, true);
  const Bytes webp = {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L'};
  for (const auto& [format, file] : {std::pair{Format::Tga, rle}, {Format::Webp, webp}}) {
    MemoryInput whole(file);
    EXPECT_NO_THROW(checkComplete(format, whole));
    for (size_t length = 0; length < file.size(); ++length) {
      MemoryInput cut(std::span<const uint8_t>(file).first(length));
      EXPECT_EQ(reasonOf([&] { checkComplete(format, cut); }), Refusal::Damaged)
          << formatName(format) << " cut at " << length;
    }
  }
}

TEST(Pipeline, TgaFromAnyCornerAndRunLengthEncodedReadsTheSame) {
  const Picture seen(2, 2, {colourOf(255, 0, 0), colourOf(0, 255, 0), colourOf(0, 0, 255), colourOf(255, 255, 255)});
  ReadOptions options;
  for (const uint8_t corner : {uint8_t{0x00}, uint8_t{0x10}, uint8_t{0x20}, uint8_t{0x30}}) {
    for (const bool rle : {false, true}) {
      EXPECT_EQ(readPicture({tga(corner, rle), "t.tga", false}, options), seen) << int{corner} << (rle ? " RLE" : "");
    }
  }
  // Colour-mapped, with a 16-bit map whose 5-bit channels widen to full range.
  Bytes mapped = {0, 1, 1, 0, 0, 2, 0, 16, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x20};
  test::appendLe16(mapped, 0x7C00);  // red
  test::appendLe16(mapped, 0x0200);  // green 16 of 31
  mapped.insert(mapped.end(), {1, 0});
  EXPECT_EQ(test::pixelsOf(readPicture({mapped, "m.tga", false}, options)),
            (std::vector<int32_t>{colourOf(0, 132, 0), colourOf(255, 0, 0)}));
  // A map whose first entry is index 5: index 6 is its second entry, index 4 lies before it (black).
  mapped[3] = 5;
  mapped.resize(mapped.size() - 2);
  mapped.insert(mapped.end(), {6, 4});
  EXPECT_EQ(test::pixelsOf(readPicture({mapped, "m.tga", false}, options)),
            (std::vector<int32_t>{colourOf(0, 132, 0), colourOf(0, 0, 0)}));
  // Type 19 is no TGA type (3 with a stray bit), whatever else it holds.
  mapped[2] = 19;
  EXPECT_EQ(reasonOf([&] { readPicture({mapped, "m.tga", false}, options); }), Refusal::UnknownFormat);
}

TEST(Orientation, ExifInJpegsOfEitherByteOrderAndDamagedOnes) {
  auto jpeg = [](bool little, uint16_t value) {
    Bytes tiff = little ? Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0}
                        : Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1};
    const uint8_t v[2] = {static_cast<uint8_t>(little ? value : value >> 8), static_cast<uint8_t>(little ? value >> 8 : value)};
    tiff.insert(tiff.end(), {v[0], v[1], 0, 0});
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE1, 0, static_cast<uint8_t>(8 + tiff.size())};
    f.insert(f.end(), {'E', 'x', 'i', 'f', 0, 0});
    f.insert(f.end(), tiff.begin(), tiff.end());
    f.insert(f.end(), {0xFF, 0xDA});
    return f;
  };
  auto jpegOrientation = [](const Bytes& file) {
    MemoryInput input(file);
    return zwp::jpegOrientation(input);
  };
  EXPECT_EQ(jpegOrientation(jpeg(true, 6)), 6);
  EXPECT_EQ(jpegOrientation(jpeg(false, 8)), 8);
  EXPECT_EQ(jpegOrientation(jpeg(true, 9)), 1) << "no such orientation";
  Bytes cut = jpeg(true, 6);
  cut.resize(20);
  EXPECT_EQ(jpegOrientation(cut), 1);
}

}  // namespace
}  // namespace zwp
