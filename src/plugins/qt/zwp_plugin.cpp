#include "plugins/qt/zwp_plugin.h"

#include <cstring>

#include <QImage>
#include <QSize>
#include <QVariant>

#include "codec/emblem_file.h"
#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/byte_file.h"
#include "core/error.h"

namespace zwp::plugin {

namespace {

// The header at the device's current position, left unread; nothing when the
// device holds fewer bytes.
std::optional<EmblemHeader> peekHeader(QIODevice* device) {
  if (!device) return std::nullopt;
  const QByteArray head = device->peek(static_cast<qint64>(kEmblemHeaderSize));
  if (head.size() != static_cast<qsizetype>(kEmblemHeaderSize)) return std::nullopt;
  MemoryReader reader(std::span(reinterpret_cast<const uint8_t*>(head.constData()), kEmblemHeaderSize));
  EmblemHeader header;
  ReadEmblemHeader(reader, header);
  if (!emblemHeaderUsable(header)) return std::nullopt;
  return header;
}

qint64 lengthOf(const EmblemHeader& header) {
  return static_cast<qint64>(kEmblemHeaderSize) + 2 * qint64{header.Width} * qint64{header.Height};
}

}  // namespace

bool EmblemHandler::canRead(QIODevice* device) {
  const auto header = peekHeader(device);
  return header && !device->isSequential() && device->size() - device->pos() == lengthOf(*header);
}

// Once the handler is chosen (by the name's ending or by content), a short
// file reads with black for its missing words and a long one without its
// extra bytes, as every other door of the program reads it.
bool EmblemHandler::canRead() const {
  if (!peekHeader(device())) return false;
  setFormat("zwp");
  return true;
}

bool EmblemHandler::read(QImage* image) {
  const auto header = peekHeader(device());
  if (!header) return false;
  // The picture is sized by the header, within our bounds and Qt's allocation limit, before reading on.
  QImage out;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  if (!allocateImage(QSize(header->Width, header->Height), QImage::Format_RGB32, &out)) return false;
#else
  // Qt 5 has no allocation limit: our own bounds decide.
  if (!pictureSizeUsable(header->Width, header->Height)) return false;
  out = QImage(header->Width, header->Height, QImage::Format_RGB32);
  if (out.isNull()) return false;
#endif
  const QByteArray bytes = device()->read(lengthOf(*header));
  Emblem emblem;
  try {
    emblem = emblemOf(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
  } catch (...) {  // nothing may escape into the host program: it is just not read
    return false;
  }
  for (int32_t y = 0; y < header->Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (const int32_t colour : emblem.picture.row(y)) *line++ = qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  }
  *image = std::move(out);
  return true;
}

// Saved by the same rules as zwpconv converts: transparency over white, and
// nothing larger than 128 x 128.
bool EmblemHandler::write(const QImage& image) {
  if (image.isNull()) return false;
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  std::vector<uint8_t> bytes;
  try {
    bytes = emblemFromRows(rgba.width(), rgba.height(), [&](int32_t y, uint8_t* row) {
      std::memcpy(row, rgba.constScanLine(y), static_cast<size_t>(rgba.width()) * 4);
    }, {});
  } catch (...) {  // refused, or out of memory: not written
    return false;
  }
  return device()->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
         static_cast<qint64>(bytes.size());
}

QVariant EmblemHandler::option(ImageOption option) const {
  if (option == Size) {
    if (const auto header = peekHeader(device())) return QSize(header->Width, header->Height);
  }
  if (option == ImageFormat) return QImage::Format_RGB32;
  return {};
}

bool EmblemHandler::supportsOption(ImageOption option) const { return option == Size || option == ImageFormat; }

QImageIOPlugin::Capabilities EmblemPlugin::capabilities(QIODevice* device, const QByteArray& format) const {
  if (format == "zwp") return CanRead | CanWrite;
  if (!format.isEmpty() || !device || !device->isOpen()) return {};
  Capabilities can;
  if (device->isReadable() && EmblemHandler::canRead(device)) can |= CanRead;
  return can;
}

QImageIOHandler* EmblemPlugin::create(QIODevice* device, const QByteArray& format) const {
  auto* handler = new EmblemHandler;
  handler->setDevice(device);
  handler->setFormat(format.isEmpty() ? QByteArray("zwp") : format);
  return handler;
}

}  // namespace zwp::plugin
