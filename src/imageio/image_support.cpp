#include "imageio/image_support.h"

#include <QCoreApplication>
#include <QImageReader>

#include "convert/encode.h"
#include "core/picture.h"
#include "formats/decoders.h"
#include "imageio/decoders.h"
#include "imageio/image_file.h"

namespace zwp {

// Qt's plugin loader expects an application object to outlive every plugin
// it loads; a command-line program gets a plain one.
struct ImageSupport::Application {
  int argc = 1;
  char name[8] = "zwpconv";
  char* argv[2] = {name, nullptr};
  QCoreApplication app{argc, argv};
};

ImageSupport::ImageSupport() {
  if (!QCoreApplication::instance()) application_ = std::make_unique<Application>();
  // Qt refuses larger pictures before it allocates them; 4 bytes a pixel.
  QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
  installDecoder(Format::Jpeg, jpegDecoder());
  installDecoder(Format::Webp, webpDecoder());
  installDecoder(Format::Tiff, tiffDecoder());
  installPngEncoder(encodePng);
}

ImageSupport::~ImageSupport() = default;

}  // namespace zwp
