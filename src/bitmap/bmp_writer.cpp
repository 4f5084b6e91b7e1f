#include "bitmap/bmp_writer.h"

#include "core/byte_file.h"
#include "core/pixel_shuffle.h"

namespace zwp {

namespace {

// Colours as blue, green and red bytes.
void storeBgr(const int32_t* colours, size_t width, uint8_t* row) {
  static constexpr ByteOrder kToBgr = {2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1};
  size_t x = shufflePixels(reinterpret_cast<const uint8_t*>(colours), 4, row, 3, width, kToBgr);
  for (; x < width; ++x) {
    const uint32_t c = static_cast<uint32_t>(colours[x]);
    row[3 * x] = static_cast<uint8_t>(c >> 16);
    row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
    row[3 * x + 2] = static_cast<uint8_t>(c);
  }
}

}  // namespace

std::vector<uint8_t> encodeBmp24(const Picture& picture) {
  const size_t width = static_cast<size_t>(picture.width());
  const size_t height = static_cast<size_t>(picture.height());
  const size_t stride = (width * 3 + 3) & ~size_t{3};
  const size_t imageSize = stride * height;
  constexpr size_t kHeaders = 14 + 40;
  std::vector<uint8_t> out(kHeaders + imageSize, 0);
  uint8_t* h = out.data();
  h[0] = 'B';
  h[1] = 'M';
  putLe32(h + 2, static_cast<uint32_t>(out.size()));
  putLe32(h + 10, kHeaders);
  putLe32(h + 14, 40);
  putLe32(h + 18, static_cast<uint32_t>(picture.width()));
  putLe32(h + 22, static_cast<uint32_t>(picture.height()));
  putLe16(h + 26, 1);
  putLe16(h + 28, 24);
  putLe32(h + 34, static_cast<uint32_t>(imageSize));
  putLe32(h + 38, 3780);  // 96 dots per inch
  putLe32(h + 42, 3780);
  for (size_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + kHeaders + (height - 1 - y) * stride;
    storeBgr(picture.row(static_cast<int32_t>(y)).data(), width, row);
  }
  return out;
}

void writeBmp24File(const std::string& path, IfExists ifExists, const Picture& picture) {
  const std::vector<uint8_t> bytes = encodeBmp24(picture);
  FileWriter file(path, ifExists);
  file.write(bytes.data(), bytes.size());
  file.commit();
}

}  // namespace zwp
