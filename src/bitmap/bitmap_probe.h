// A first look at a candidate BMP file: its signature, its colour depth in
// German words and its size, read at fixed header offsets. The path functions
// open and close the file themselves; fields past the end of a short file
// read as 0.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zwp {

// The header fields the probe reads, taken from a file's first bytes.
inline constexpr size_t kProbeBytes = 30;
struct BitmapProbe {
  bool isBitmap = false;  // starts with "BM"
  int32_t width = 0;      // offset 18
  int32_t height = 0;     // offset 22, negative for top-down files
  int16_t bitCount = 0;   // offset 28
};
BitmapProbe probeBitmap(std::span<const uint8_t> head);

// True exactly when the file starts with "BM" (case-sensitive).
bool IsBitmap(const std::string& path);

// "Monochrome Bitmap", "16-Farben-Bitmap", "256-Farben-Bitmap",
// "High Color-Bitmap", "True Color-Bitmap", or "keine Bitmap" for any other
// bit count (32-bit files among them).
std::string BitmapKind(const std::string& path);
std::string bitmapKindFor(int16_t bitCount);
// Whether the window takes a bitmap of this bit count: 1, 4, 8, 16 or 24.
constexpr bool windowTakesDepth(int16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24;
}

// Width (offset 18), height (22, negative for top-down files, as read) and bit
// count (28).
void ReadBitmapInfo(const std::string& path, int32_t& width, int32_t& height, int16_t& bitCount);

}  // namespace zwp
