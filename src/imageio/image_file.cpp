#include "imageio/image_file.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "convert/artwork.h"
#include "core/error.h"

namespace zwp {

namespace {

QByteArray borrowed(std::span<const uint8_t> bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

Picture readArtwork(std::span<const uint8_t> file, int32_t background) {
  if (probeBitmap(file).isBitmap) return decodeBmp(file);

  QByteArray data = borrowed(file);
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device);
  // Qt refuses larger images before it allocates them; 4 bytes per pixel.
  QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
  if (!reader.canRead()) throw invalidPicture("kein Bild in einem bekannten Format");
  const QSize size = reader.size();
  if (size.isValid()) checkPictureSize(size.width(), size.height());
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    throw invalidPicture("Bild ist beschädigt oder abgeschnitten");
  }
  if (!pictureSizeUsable(image.width(), image.height())) throw invalidPicture("Bildgröße außerhalb der Grenzen");
  image.convertTo(QImage::Format_RGBA8888);
  return flatten({image.constBits(), image.width(), image.height(), static_cast<size_t>(image.bytesPerLine())},
                 background);
}

Artwork describeArtwork(std::span<const uint8_t> file) {
  QByteArray data = borrowed(file);
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device);
  if (!reader.canRead()) throw invalidPicture("kein Bild in einem bekannten Format");
  const QSize size = reader.size();
  return {size.width(), size.height(), reader.format().toUpper().toStdString()};
}

std::vector<uint8_t> encodePng(const Picture& picture) {
  QImage image(picture.width(), picture.height(), QImage::Format_RGB888);
  for (int32_t y = 0; y < picture.height(); ++y) {
    uchar* out = image.scanLine(y);
    for (const int32_t colour : picture.row(y)) {
      *out++ = static_cast<uchar>(colour);
      *out++ = static_cast<uchar>(colour >> 8);
      *out++ = static_cast<uchar>(colour >> 16);
    }
  }
  QByteArray bytes;
  QBuffer device(&bytes);
  device.open(QIODevice::WriteOnly);
  QImageWriter writer(&device, "png");
  if (!writer.write(image)) throw invalidPicture("PNG konnte nicht erzeugt werden");
  return {bytes.begin(), bytes.end()};
}

bool parseColour(const std::string& text, int32_t& colour) {
  const QColor c = QColor::fromString(QString::fromStdString(text));
  if (!c.isValid()) return false;
  colour = colourOf(c.red(), c.green(), c.blue());
  return true;
}

std::vector<std::string> pictureExtensions() {
  std::vector<std::string> out;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) out.push_back(format.toLower().toStdString());
  return out;
}

}  // namespace zwp
