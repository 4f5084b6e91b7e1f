// The Qt image plugin's reading on arbitrary bytes, as any Qt program would
// drive it: recognised by content or told the format, its size asked, then
// read. Nothing may crash, and a picture read has the size the header gave.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include "plugins/qt/zwp_plugin.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer device(&bytes);
  device.open(QIODevice::ReadOnly);
  (void)zwp::plugin::EmblemHandler::canRead(&device);
  zwp::plugin::EmblemHandler handler;
  handler.setDevice(&device);
  if (!handler.canRead()) return 0;
  const QSize told = handler.option(QImageIOHandler::Size).toSize();
  QImage image;
  if (handler.read(&image) && image.size() != told) std::abort();
  return 0;
}
