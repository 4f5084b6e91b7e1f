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

std::vector<uint8_t> emblemFromRows(int32_t width, int32_t height, const RowFiller& fillRow,
                                    const ReadOptions& options) {
  ReadOptions emblem = options;
  emblem.target = Target::Emblem;
  PictureBuilder builder(width, height, 1, emblem, Rows::InStrips);  // shrunk as the rows come
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int32_t y = 0; y < height; ++y) {
    fillRow(y, row.data());
    builder.addRows(row.data(), 1, row.size(), Alpha::Straight);
  }
  return encodeEmblem(builder.finish());
}

}  // namespace zwp
