// The Qt image format plugin "zwp": every Qt program (image viewers, file
// managers, paint programs, anything built on QImageReader) reads and writes
// Zorbel emblems through our own codec, writing with the exact snapping.
#pragma once

#include <QImageIOHandler>
#include <QImageIOPlugin>

namespace zwp::plugin {

class EmblemHandler final : public QImageIOHandler {
 public:
  bool canRead() const override;
  bool read(QImage* image) override;
  bool write(const QImage& image) override;
  QVariant option(ImageOption option) const override;
  bool supportsOption(ImageOption option) const override;

  // A device holds an emblem, judged by content alone, when its header gives
  // a usable size and its length matches that size exactly (so that no other
  // file is taken for one); nothing is consumed.
  static bool canRead(QIODevice* device);
};

class EmblemPlugin final : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "zwp.json")

 public:
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
  QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};

}  // namespace zwp::plugin
