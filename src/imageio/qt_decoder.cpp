// GIF, WebP and TIFF through Qt's image plugins, each reader told its
// format so that no other plugin (a renderer such as SVG among them) is ever
// asked about the file.
#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "convert/completeness.h"
#include "convert/orientation.h"
#include "core/error.h"
#include "imageio/decoders.h"

namespace zwp {

namespace {

// A reader of the one format over bytes held in memory.
struct Reader {
  QByteArray data;
  QBuffer device;
  QImageReader reader;

  Reader(std::span<const uint8_t> file, const char* format)
      : data(QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()))),
        device(&data) {
    device.open(QIODevice::ReadOnly);
    reader.setDevice(&device);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);  // orientation is ours to apply
  }
};

class QtDecoder final : public Decoder {
 public:
  QtDecoder(Format format, const char* qtFormat) : format_(format), qtFormat_(qtFormat) {}

  PictureHeader header(std::span<const uint8_t> file) const override {
    Reader r(file, qtFormat_);
    const QSize size = r.reader.canRead() ? r.reader.size() : QSize();
    if (!size.isValid()) throw refused(Refusal::Damaged);
    return {size.width(), size.height(), format_ == Format::Tiff ? tiffOrientation(file) : 1};
  }

  void decode(std::span<const uint8_t> file, RowSink& rows) const override {
    checkComplete(format_, file);
    const PictureHeader expected = header(file);
    Reader r(file, qtFormat_);
    QImage image;
    if (!r.reader.read(&image) || image.width() != expected.width || image.height() != expected.height) {
      throw refused(Refusal::Damaged);
    }
    // Premultiplied pixels are composited as they are; dividing them back
    // first would change colours by a step.
    const bool premultiplied = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    image.convertTo(premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888);
    rows.addRows(image.constBits(), image.height(), static_cast<size_t>(image.bytesPerLine()),
                 premultiplied ? Alpha::Premultiplied : Alpha::Straight);
  }

 private:
  Format format_;
  const char* qtFormat_;
};

}  // namespace

std::shared_ptr<const Decoder> qtDecoder(Format format, const char* qtFormat) {
  return std::make_shared<QtDecoder>(format, qtFormat);
}

}  // namespace zwp
