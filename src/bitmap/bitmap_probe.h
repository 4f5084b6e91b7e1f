// A first look at a candidate BMP file: its signature, its colour depth in
// German words and its size, read at fixed header offsets. Each function opens
// and closes the file itself; fields past the end of a short file read as 0.
#pragma once

#include <cstdint>
#include <string>

namespace zwp {

// True exactly when the file starts with "BM" (case-sensitive).
bool IsBitmap(const std::string& path);

// "Monochrome Bitmap", "16-Farben-Bitmap", "256-Farben-Bitmap",
// "High Color-Bitmap", "True Color-Bitmap", or "keine Bitmap" for any other
// bit count (32-bit files among them).
std::string BitmapKind(const std::string& path);
std::string bitmapKindFor(int16_t bitCount);

// Width (offset 18), height (22, negative for top-down files, as read) and bit
// count (28).
void ReadBitmapInfo(const std::string& path, int32_t& width, int32_t& height, int16_t& bitCount);

}  // namespace zwp
