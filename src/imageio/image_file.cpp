#include "imageio/image_file.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>

#include "core/error.h"

namespace zwp {

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

}  // namespace zwp
