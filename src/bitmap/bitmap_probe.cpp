#include "bitmap/bitmap_probe.h"

#include "core/byte_file.h"

namespace zwp {

bool IsBitmap(const std::string& path) {
  FileReader file(path);
  uint8_t sig[2];
  file.readZeroFilled(sig, 2);
  return sig[0] == 'B' && sig[1] == 'M';
}

std::string bitmapKindFor(int16_t bitCount) {
  const char* prefix = "keine ";
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

std::string BitmapKind(const std::string& path) {
  FileReader file(path);
  file.skip(28);
  uint8_t bits[2];
  file.readZeroFilled(bits, 2);
  return bitmapKindFor(static_cast<int16_t>(readLe16(bits)));
}

void ReadBitmapInfo(const std::string& path, int32_t& width, int32_t& height, int16_t& bitCount) {
  width = 0;
  height = 0;
  bitCount = 0;
  FileReader file(path);
  file.skip(18);
  uint8_t fields[12];
  file.readZeroFilled(fields, sizeof fields);
  width = static_cast<int32_t>(readLe32(fields));
  height = static_cast<int32_t>(readLe32(fields + 4));
  bitCount = static_cast<int16_t>(readLe16(fields + 10));
}

}  // namespace zwp
