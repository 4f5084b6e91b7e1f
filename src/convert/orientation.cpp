#include "convert/orientation.h"

#include <cstring>
#include <utility>

namespace zwp {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;

}  // namespace

int tiffOrientation(std::span<const uint8_t> t) {
  if (t.size() < 8) return 1;
  const bool little = t[0] == 'I' && t[1] == 'I';
  if (!little && !(t[0] == 'M' && t[1] == 'M')) return 1;
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(little ? t[at] | (t[at + 1] << 8) : (t[at] << 8) | t[at + 1]);
  };
  auto u32 = [&](size_t at) { return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2); };
  const size_t ifd = u32(4);
  if (ifd > t.size() || t.size() - ifd < 2) return 1;
  const size_t entries = u16(ifd);
  for (size_t i = 0; i < entries; ++i) {
    const size_t at = ifd + 2 + 12 * i;
    if (at + 12 > t.size()) return 1;
    if (u16(at) != kOrientationTag) continue;
    const uint32_t value = u16(at + 2) == 3 ? u16(at + 8) : 1;  // a SHORT, as the standard has it
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

int jpegOrientation(std::span<const uint8_t> f) {
  size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF) {
    const uint8_t marker = f[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;  // pixel data or the end: no Exif before it
    const size_t length = static_cast<size_t>((f[at + 2] << 8) | f[at + 3]);
    if (length < 2 || at + 2 + length > f.size()) break;
    if (marker == 0xE1 && length >= 8 && std::memcmp(&f[at + 4], "Exif\0\0", 6) == 0) {
      return tiffOrientation(f.subspan(at + 10, length - 8));
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
