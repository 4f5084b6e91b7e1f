#include "convert/encode.h"

#include "core/error.h"

namespace zwp {

namespace {
PngEncoder& pngEncoder() {
  static PngEncoder encoder;
  return encoder;
}
}  // namespace

void installPngEncoder(PngEncoder encoder) { pngEncoder() = std::move(encoder); }

std::vector<uint8_t> encodePicture(const Picture& picture, Target target) {
  switch (target) {
    case Target::Emblem: return encodeEmblem(picture);
    case Target::Bmp: return encodeBmp24(picture);
    case Target::Png:
      if (!pngEncoder()) throw Error(err::InvalidPropertyValue, "PNG kann hier nicht geschrieben werden");
      return pngEncoder()(picture);
  }
  return {};
}

}  // namespace zwp
