#include "codec/pixel_codec.h"

#include "core/error.h"

namespace zwp {

int32_t rot(int32_t Col) noexcept { return Col % 256; }
int32_t gruen(int32_t Col) noexcept { return (Col / 256) % 256; }
int32_t blau(int32_t Col) noexcept { return Col / 65536; }

int16_t toInt16(int32_t value) {
  if (value < -32768 || value > 32767) throw Error(err::Overflow);
  return static_cast<int16_t>(value);
}

int16_t Quant5(int16_t component) noexcept {
  const int k = (component & 0xFF) / 8;
  return static_cast<int16_t>(k % 2 == 0 ? 8 * k : 8 * k + 7);
}

int16_t Quant6(int16_t component) noexcept {
  const int k = (component & 0xFF) / 4;
  return static_cast<int16_t>(k % 2 == 0 ? 4 * k : 4 * k + 3);
}

int32_t PackPixel(int16_t red, int16_t green, int16_t blue) noexcept {
  return (red / 8) * 2048 + (green / 4) * 32 + blue / 8;
}

int16_t CSint(int32_t value) {
  if (value > 32767) value -= 65536;
  return toInt16(value);
}

int32_t CUint(int16_t intValue) noexcept { return intValue < 0 ? intValue + 65536 : intValue; }

int32_t UnpackPixel(int32_t word) noexcept {
  const int32_t r = word / 2048;
  const int32_t g = (word / 32) % 64;
  const int32_t b = word % 32;
  const int32_t red = 8 * r + 7 * (r % 2);
  const int32_t green = 4 * g + 3 * (g % 2);
  const int32_t blue = 8 * b + 7 * (b % 2);
  return red + 256 * green + 65536 * blue;
}

SnappedPixel snapPixel(int32_t colour) {
  return {Quant5(toInt16(rot(colour))), Quant6(toInt16(gruen(colour))), Quant5(toInt16(blau(colour)))};
}

int16_t storedWord(const SnappedPixel& s) { return CSint(PackPixel(s.red, s.green, s.blue)); }

int32_t progressColour(const SnappedPixel& s) {
  return (s.red + 256 * s.green + 65536 * s.blue) % 32;
}

}  // namespace zwp
