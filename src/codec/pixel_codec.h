// Conversion between colour values 0x00BBGGRR and the 16-bit 5-6-5 pixel words
// of emblem files. All functions are pure; those that cannot fail say so
// (noexcept), which lets the browser build call them per pixel directly
// rather than through a JavaScript trampoline that could catch an exception.
//
// The expansion of a code back to 8 bits fills the dropped bits with copies of
// the code's lowest bit (code 1 is 15, code 16 is 128). That is the emblem
// format's own rule, not the common bit replication; the quantisers snap to
// exactly the same levels, so snapped colours survive a round trip unchanged.
#pragma once

#include <cstdint>

namespace zwp {

// Components of a colour value with truncating division and a remainder that
// takes the dividend's sign (rot(-1) is -1). blau applies no modulo.
int32_t rot(int32_t Col) noexcept;
int32_t gruen(int32_t Col) noexcept;
int32_t blau(int32_t Col) noexcept;

// A component as the quantisers take it: converted to 16 bits, with overflow
// raised as error 6.
int16_t toInt16(int32_t value);

// Snap a component (its low 8 bits) to a 5-bit or 6-bit level, 0..255.
int16_t Quant5(int16_t component) noexcept;
int16_t Quant6(int16_t component) noexcept;

// Pack snapped components into the word value 0..65535.
int32_t PackPixel(int16_t red, int16_t green, int16_t blue) noexcept;

// The stored, signed form of a word value and back. CSint raises error 6 for
// values that do not fit 16 bits after the adjustment.
int16_t CSint(int32_t value);
int32_t CUint(int16_t intValue) noexcept;

// Expand a word value 0..65535 into a colour value.
int32_t UnpackPixel(int32_t word) noexcept;

// One pixel on its way to the file: the snapped components and the word.
struct SnappedPixel {
  int16_t red;
  int16_t green;
  int16_t blue;
};
SnappedPixel snapPixel(int32_t colour);
int16_t storedWord(const SnappedPixel& snapped);

// The same word as storedWord(snapPixel(colour)), computed without the
// intermediate steps; for bulk encoding.
inline uint16_t fastWord(int32_t colour) {
  if (static_cast<uint32_t>(colour) <= 0xFFFFFFu) {
    const uint32_t c = static_cast<uint32_t>(colour);
    return static_cast<uint16_t>(((c & 0xF8u) << 8) | ((c & 0xFC00u) >> 5) | ((c >> 19) & 0x1Fu));
  }
  return static_cast<uint16_t>(storedWord(snapPixel(colour)));
}

// The colour the converter paints over a pixel it has converted: the snapped
// colour value taken modulo 32, a black or very dark red.
int32_t progressColour(const SnappedPixel& snapped);
// The same colour for the pixel that was stored as word.
inline int32_t progressColourOfWord(uint16_t word) {
  const int32_t red = word >> 11;
  return (8 * red + 7 * (red % 2)) % 32;
}

}  // namespace zwp
