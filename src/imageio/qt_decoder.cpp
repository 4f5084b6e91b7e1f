// GIF, WebP and TIFF through Qt's image plugins, each reader told its
// format so that no other plugin (a renderer such as SVG among them) is ever
// asked about the file.
#include <QIODevice>
#include <QImage>
#include <QImageReader>

#include "convert/completeness.h"
#include "convert/orientation.h"
#include "core/error.h"
#include "imageio/decoders.h"

namespace zwp {

namespace {

// The input as a Qt device, read by position as Qt's plugins ask.
class InputDevice final : public QIODevice {
 public:
  explicit InputDevice(ByteInput& input) : input_(input) { open(QIODevice::ReadOnly); }
  bool isSequential() const override { return false; }
  qint64 size() const override { return static_cast<qint64>(input_.size()); }
  // Error 481, or the read failure that stopped the plugin.
  [[noreturn]] void fail() const {
    failure_.raise();
    throw refused(Refusal::Damaged);
  }

 protected:
  qint64 readData(char* data, qint64 count) override {
    return failure_.hold(
        [&] {
          return static_cast<qint64>(
              input_.copy(static_cast<uint64_t>(pos()), reinterpret_cast<uint8_t*>(data), static_cast<size_t>(count)));
        },
        qint64{-1});
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  ByteInput& input_;
  HeldFailure failure_;
};

// A reader of the one format over the input.
struct Reader {
  InputDevice device;
  QImageReader reader;
  Reader(ByteInput& file, const char* format) : device(file) {
    reader.setDevice(&device);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);  // orientation is ours to apply
  }
};

class QtDecoder final : public Decoder {
 public:
  QtDecoder(Format format, const char* qtFormat) : format_(format), qtFormat_(qtFormat) {}

  PictureHeader header(ByteInput& file) const override {
    Reader r(file, qtFormat_);
    const QSize size = r.reader.canRead() ? r.reader.size() : QSize();
    if (!size.isValid()) r.device.fail();
    return {size.width(), size.height(), format_ == Format::Tiff ? tiffOrientation(file) : 1};
  }

  void decode(ByteInput& file, RowSink& rows) const override {
    checkComplete(format_, file);
    const PictureHeader expected = header(file);
    Reader r(file, qtFormat_);
    QImage image;
    if (!r.reader.read(&image) || image.width() != expected.width || image.height() != expected.height) {
      r.device.fail();
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
