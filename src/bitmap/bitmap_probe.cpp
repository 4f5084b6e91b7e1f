#include "bitmap/bitmap_probe.h"

#include <algorithm>

#include "core/byte_file.h"

namespace zwp {

BitmapProbe probeBitmap(std::span<const uint8_t> head) {
  uint8_t fields[kProbeBytes] = {};
  std::copy_n(head.begin(), std::min(head.size(), kProbeBytes), fields);
  BitmapProbe probe;
  probe.isBitmap = fields[0] == 'B' && fields[1] == 'M';
  probe.width = static_cast<int32_t>(readLe32(fields + 18));
  probe.height = static_cast<int32_t>(readLe32(fields + 22));
  probe.bitCount = static_cast<int16_t>(readLe16(fields + 28));
  return probe;
}

namespace {
BitmapProbe probeFile(const std::string& path) { return probeBitmap(readFilePrefix(path, kProbeBytes)); }
}  // namespace

bool IsBitmap(const std::string& path) { return probeFile(path).isBitmap; }

std::string bitmapKindFor(int16_t bitCount) {
  if (!windowTakesDepth(bitCount)) return "keine Bitmap";
  const char* prefix = "";
  switch (bitCount) {
    case 1: prefix = "Monochrome "; break;
    case 4: prefix = "16-Farben-"; break;
    case 8: prefix = "256-Farben-"; break;
    case 16: prefix = "High Color-"; break;
    case 24: prefix = "True Color-"; break;
    default: break;
  }
  return std::string(prefix) + "Bitmap";
}

std::string BitmapKind(const std::string& path) { return bitmapKindFor(probeFile(path).bitCount); }

void ReadBitmapInfo(const std::string& path, int32_t& width, int32_t& height, int16_t& bitCount) {
  width = 0;
  height = 0;
  bitCount = 0;
  const BitmapProbe probe = probeFile(path);
  width = probe.width;
  height = probe.height;
  bitCount = probe.bitCount;
}

}  // namespace zwp
