#include "convert/orientation.h"

#include <cstring>
#include <utility>

#include "core/byte_file.h"

namespace zwp {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;

}  // namespace

int tiffOrientation(ByteInput& t) {
  if (t.size() < 8) return 1;
  const std::span<const uint8_t> head = t.at(0, 8);
  const bool little = head[0] == 'I' && head[1] == 'I';
  if (!little && !(head[0] == 'M' && head[1] == 'M')) return 1;
  auto u16 = [&](const uint8_t* p) { return static_cast<uint32_t>(little ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1]); };
  auto u32 = [&](const uint8_t* p) { return little ? u16(p) | (u16(p + 2) << 16) : (u16(p) << 16) | u16(p + 2); };
  const uint64_t ifd = u32(&head[4]);
  if (ifd > t.size() || t.size() - ifd < 2) return 1;
  const size_t entries = u16(t.at(ifd, 2).data());
  for (size_t i = 0; i < entries; ++i) {
    const uint64_t at = ifd + 2 + 12 * i;
    if (at + 12 > t.size()) return 1;
    const uint8_t* entry = t.at(at, 12).data();
    if (u16(entry) != kOrientationTag) continue;
    const uint32_t value = u16(entry + 2) == 3 ? u16(entry + 8) : 1;  // a SHORT, as the standard has it
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

int tiffOrientation(std::span<const uint8_t> tiff) {
  MemoryInput input(tiff);
  return tiffOrientation(input);
}

int jpegOrientation(ByteInput& f) {
  for (uint64_t at = 2; at + 4 <= f.size();) {
    const std::span<const uint8_t> head = f.at(at, 4);
    const uint8_t marker = head[1];
    if (head[0] != 0xFF || marker == 0xDA || marker == 0xD9) break;  // pixel data or the end: no Exif before it
    const size_t length = readBe16(&head[2]);
    if (length < 2 || at + 2 + length > f.size()) break;
    if (marker == 0xE1 && length >= 8) {
      const std::span<const uint8_t> segment = f.at(at + 4, length - 2);
      if (std::memcmp(segment.data(), "Exif\0\0", 6) == 0) return tiffOrientation(segment.subspan(6));
    }
    at += 2 + length;
  }
  return 1;
}

Picture orient(Picture picture, int orientation) {
  if (orientation < 2 || orientation > 8) return picture;
  const int32_t w = picture.width(), h = picture.height();
  const bool swap = swapsSides(orientation);
  Picture out(swap ? h : w, swap ? w : h);
  for (int32_t y = 0; y < h; ++y) {
    const std::span<const int32_t> row = picture.row(y);
    for (int32_t x = 0; x < w; ++x) {
      // Where stored pixel (x, y) is seen.
      int32_t u = x, v = y;
      switch (orientation) {
        case 2: u = w - 1 - x; break;
        case 3: u = w - 1 - x; v = h - 1 - y; break;
        case 4: v = h - 1 - y; break;
        case 5: u = y; v = x; break;
        case 6: u = h - 1 - y; v = x; break;
        case 7: u = h - 1 - y; v = w - 1 - x; break;
        default: u = y; v = w - 1 - x; break;  // 8
      }
      out.set(u, v, row[static_cast<size_t>(x)]);
    }
  }
  return out;
}

}  // namespace zwp
