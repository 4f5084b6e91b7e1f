// The image format plugin as any Qt program meets it: through QImageReader and
// QImageWriter, found on QT_PLUGIN_PATH (the build tree's, or an installed one).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>

#include "codec/emblem_file.h"
#include "support/test_files.h"

namespace zwp {
namespace {

QByteArray bytesOf(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

std::vector<uint16_t> someWords(size_t n) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i < n; ++i) words.push_back(static_cast<uint16_t>(i * 2654435761u >> 7));
  return words;
}

TEST(ZwpPlugin, QtKnowsTheFormat) {
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("zwp"));
  EXPECT_TRUE(QImageWriter::supportedImageFormats().contains("zwp"));
  EXPECT_TRUE(QImageReader::supportedMimeTypes().contains("image/x-zorbel-emblem"));
}

TEST(ZwpPlugin, ReadsExactPixelsAndKnowsAnEmblemByItsHeader) {
  const std::vector<uint8_t> file = test::emblemFile(7, 5, someWords(35));
  QByteArray data = bytesOf(file);
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device);  // no name, no format: the content decides
  EXPECT_EQ(reader.size(), QSize(7, 5));
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  const Picture want = decodeEmblem(file)->picture;
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 7; ++x) {
      const int32_t c = want.at(x, y);
      ASSERT_EQ(image.pixel(x, y), qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF)) << x << "," << y;
    }
  }
}

TEST(ZwpPlugin, WritesTheSameBytesAsTheWindow) {
  Picture picture(9, 4);
  for (size_t i = 0; i < picture.pixels().size(); ++i) picture.pixels()[i] = static_cast<int32_t>(i * 0x0F1D37u & 0xFFFFFF);
  QImage image(9, 4, QImage::Format_RGB32);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const int32_t c = picture.at(x, y);
      image.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
  }
  QByteArray written;
  QBuffer device(&written);
  device.open(QIODevice::WriteOnly);
  ASSERT_TRUE(QImageWriter(&device, "zwp").write(image));
  EXPECT_EQ(written, bytesOf(encodeEmblem(picture)));
}

// Saving follows zwpconv's rules: transparency over white, nothing beyond 128 x 128.
TEST(ZwpPlugin, WritesByTheConvertersRules) {
  QImage clear(2, 1, QImage::Format_ARGB32);
  clear.fill(qRgba(255, 0, 0, 0));
  QByteArray written;
  QBuffer device(&written);
  device.open(QIODevice::WriteOnly);
  ASSERT_TRUE(QImageWriter(&device, "zwp").write(clear));
  EXPECT_EQ(written, bytesOf(encodeEmblem(Picture(2, 1, 0xFFFFFF))));
  QImage large(129, 1, QImage::Format_RGB32);
  large.fill(Qt::blue);
  QBuffer other;
  other.open(QIODevice::WriteOnly);
  EXPECT_FALSE(QImageWriter(&other, "zwp").write(large));
}

TEST(ZwpPlugin, RefusesWhatIsNoEmblemBeforeAllocating) {
  std::vector<uint8_t> shortFile = test::emblemFile(4, 4, someWords(16));
  shortFile.resize(shortFile.size() - 2);  // the length no longer matches the header
  const std::vector<std::vector<uint8_t>> bad = {shortFile, test::emblemFile(-3, 4, {}),
                                                 test::emblemFile(30000, 30000, {}), std::vector<uint8_t>(100, 0)};
  for (const auto& file : bad) {
    QByteArray data = bytesOf(file);
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    EXPECT_FALSE(reader.canRead()) << file.size();
    EXPECT_TRUE(reader.read().isNull());
  }
  // Told it is an emblem, a header beyond Qt's allocation limit is refused all the same.
  QImageReader::setAllocationLimit(1);
  QByteArray big = bytesOf(test::emblemFile(1024, 1024, {}));
  big.resize(280 + 2 * 1024 * 1024);
  QBuffer device(&big);
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device, "zwp");
  EXPECT_TRUE(reader.read().isNull());
  QImageReader::setAllocationLimit(256);
}

}  // namespace
}  // namespace zwp

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
