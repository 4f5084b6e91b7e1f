#include "bitmap/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

#include "core/byte_cursor.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/pixel_shuffle.h"

namespace zwp {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;
constexpr size_t kFileHeader = 14;

struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;  // absolute
  bool topDown = false;
  bool os2Core = false;  // a 12-byte OS/2 1.x header
  int bitCount = 0;
  uint32_t compression = kRgb;
  Channel red, green, blue;
  // 256 entries whatever the file holds: indices beyond its palette are black.
  std::vector<int32_t> palette = std::vector<int32_t>(256, 0);
  size_t dataOffset = 0;
};

Channel channelOf(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.bits = std::popcount(mask);
  const uint64_t run = (uint64_t{1} << c.bits) - 1;
  if ((uint64_t{mask} >> c.shift) != run) throw invalidPicture("Farbmasken sind nicht zusammenhängend");
  return c;
}

// Expands a channel of n bits to 0..255, rounded to the nearest: v * 255 / max
// (31 -> 255, 3 -> 25), for narrow and wide channels alike.
int expand(uint32_t value, int bits) {
  if (bits <= 0) return 0;
  const uint64_t max = (uint64_t{1} << bits) - 1;
  return static_cast<int>((uint64_t{value} * 255 + max / 2) / max);
}

int channelValue(uint32_t pixel, const Channel& c) { return expand((pixel & c.mask) >> c.shift, c.bits); }

std::string compressionName(uint32_t compression, bool os2) {
  switch (compression) {
    case 3: return os2 ? "Huffman-1D" : "Bitfelder";
    case 4: return os2 ? "RLE24" : "JPEG";
    case 5: return "PNG";
    case 6: return "Alpha-Bitfelder";
    default: return "Typ " + std::to_string(compression);
  }
}

uint64_t strideOf(const Layout& l) {
  return ((static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bitCount) + 31) / 32) * 4;
}

// Every header field and the palette lie within this many bytes from the start.
constexpr size_t kHeadBytes = 2048;

Layout readLayout(ByteInput& file, BmpBounds bounds) {
  const uint64_t size = file.size();
  const std::span<const uint8_t> f = file.head(kHeadBytes);
  if (size < kFileHeader + 4) throw invalidPicture("Datei ist zu kurz");
  if (f[0] != 'B' || f[1] != 'M') throw refused(Refusal::NotBitmap);
  Layout l;
  const uint32_t offBits = readLe32(&f[10]);
  const uint32_t infoSize = readLe32(&f[14]);
  const bool core = infoSize == 12;
  l.os2Core = core;
  const bool os2v2 = infoSize == 16 || infoSize == 64;
  if (!core && !os2v2 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    throw invalidPicture("unbekannter BMP-Kopf (" + std::to_string(infoSize) + " Bytes)");
  }
  if (size < kFileHeader + infoSize) throw invalidPicture("Datei ist abgeschnitten (Kopf)");

  int64_t rawHeight = 0;
  uint32_t colorsUsed = 0;
  if (core) {
    l.width = readLe16(&f[18]);
    rawHeight = static_cast<int16_t>(readLe16(&f[20]));
    l.bitCount = readLe16(&f[24]);
  } else {
    l.width = static_cast<int32_t>(readLe32(&f[18]));
    rawHeight = static_cast<int32_t>(readLe32(&f[22]));
    l.bitCount = readLe16(&f[28]);
    if (infoSize >= 20) l.compression = readLe32(&f[30]);
    if (infoSize >= 36) colorsUsed = readLe32(&f[46]);
  }
  l.topDown = rawHeight < 0;
  l.height = rawHeight < 0 ? -rawHeight : rawHeight;

  const int bpp = l.bitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24) {
    throw refused(Refusal::UnsupportedDepth, std::to_string(bpp) + " Bit");
  }
  const uint32_t comp = l.compression;
  const bool compOk = comp == kRgb || (comp == kRle8 && bpp == 8) || (comp == kRle4 && bpp == 4) ||
                      (comp == kBitfields && bpp == 16 && !os2v2);
  if (!compOk) throw invalidPicture("Kompression " + compressionName(comp, os2v2) + " wird nicht unterstützt");
  if (l.width < 0) throw invalidPicture("negative Breite");
  if ((comp == kRle4 || comp == kRle8) && l.topDown) throw invalidPicture("RLE-Bild von oben nach unten");
  if (bounds == BmpBounds::RowByRow && comp != kRle4 && comp != kRle8) {
    checkFittedSize(l.width, l.height);
  } else {
    checkPictureSize(l.width, l.height);
  }

  size_t afterHeader = kFileHeader + infoSize;
  if (bpp == 16) {
    if (comp == kBitfields) {
      // Masks follow a 40-byte header and lie inside the larger ones: at 54 either way.
      if (infoSize == 40) afterHeader += 12;
      if (size < 66) throw invalidPicture("Datei ist abgeschnitten (Farbmasken)");
      l.red = channelOf(readLe32(&f[54]));
      l.green = channelOf(readLe32(&f[58]));
      l.blue = channelOf(readLe32(&f[62]));
    } else {
      l.red = channelOf(0x7C00);
      l.green = channelOf(0x03E0);
      l.blue = channelOf(0x001F);
    }
  }

  if (offBits < afterHeader) throw invalidPicture("Bilddaten beginnen im Kopf");
  if (offBits > size) throw invalidPicture("Bilddaten liegen hinter dem Dateiende");
  l.dataOffset = offBits;
  // Uncompressed rows must all be there before memory is sized for them.
  if ((comp == kRgb || comp == kBitfields) && offBits + strideOf(l) * static_cast<uint64_t>(l.height) > size) {
    throw invalidPicture("Datei ist abgeschnitten (Bilddaten)");
  }

  if (bpp <= 8) {
    const size_t entry = core ? 3 : 4;
    size_t count = size_t{1} << bpp;
    if (colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
    count = std::min(count, (offBits - afterHeader) / entry);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = &f[afterHeader + i * entry];
      l.palette[i] = colourOf(p[2], p[1], p[0]);
    }
  }
  return l;
}

class Canvas {
 public:
  Canvas(const Layout& l) : layout_(l), picture_(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height)) {}

  // Sets pixel x of file row y (file rows count from the bottom unless top-down).
  void put(int64_t x, int64_t y, int32_t colour) {
    if (x < 0 || y < 0 || x >= layout_.width || y >= layout_.height) return;
    const int64_t row = layout_.topDown ? y : layout_.height - 1 - y;
    picture_.set(static_cast<int32_t>(x), static_cast<int32_t>(row), colour);
  }
  void putIndex(int64_t x, int64_t y, unsigned index) {
    put(x, y, layout_.palette[index & 0xFFu]);
  }
  Picture take() { return std::move(picture_); }

 private:
  const Layout& layout_;
  Picture picture_;
};

// Pixels stored as blue, green and red bytes, as colours (red lowest).
void decodeBgr(const uint8_t* row, size_t width, int32_t* out) {
  static constexpr ByteOrder kToColours = {2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1};
  size_t x = shufflePixels(row, 3, reinterpret_cast<uint8_t*>(out), 4, width, kToColours);
  for (; x < width; ++x) out[x] = colourOf(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

// Row y as the file stores it (counted from the file's first row), as colours.
void decodeRow(ByteInput& f, const Layout& l, int64_t y, int32_t* out) {
  const std::vector<int32_t>& palette = l.palette;
  const size_t width = static_cast<size_t>(l.width);
  const uint64_t stride = strideOf(l);
  const uint8_t* row = f.at(l.dataOffset + stride * static_cast<uint64_t>(y), sizeOf(stride)).data();
  switch (l.bitCount) {
    case 1:
      for (size_t x = 0; x < width; ++x) out[x] = palette[(unsigned{row[x / 8]} >> (7 - x % 8)) & 1u];
      break;
    case 4:
      for (size_t x = 0; x < width; ++x) out[x] = palette[(unsigned{row[x / 2]} >> (x % 2 == 0 ? 4 : 0)) & 0xFu];
      break;
    case 8:
      for (size_t x = 0; x < width; ++x) out[x] = palette[row[x]];
      break;
    case 16:
      for (size_t x = 0; x < width; ++x) {
        const uint32_t v = readLe16(row + 2 * x);
        out[x] = colourOf(channelValue(v, l.red), channelValue(v, l.green), channelValue(v, l.blue));
      }
      break;
    default:
      decodeBgr(row, width, out);
  }
}

void decodeUncompressed(ByteInput& f, const Layout& l, Picture& picture) {
  for (int64_t y = 0; y < l.height; ++y) {
    const int64_t target = l.topDown ? y : l.height - 1 - y;
    decodeRow(f, l, y, picture.row(static_cast<int32_t>(target)).data());
  }
}

void decodeRle(ByteInput& f, const Layout& l, Canvas& canvas) {
  const bool four = l.compression == kRle4;
  ByteCursor in(f, l.dataOffset);
  auto take = [&](size_t n) {
    if (in.left() < n) throw invalidPicture("Datei ist abgeschnitten (RLE-Daten)");
    return in.take(n);
  };
  int64_t x = 0, y = 0;
  // A stream that has filled every row may end without its end-of-bitmap code.
  while (y < l.height) {
    if (in.left() < 2 && y == l.height - 1 && x >= l.width) break;
    const std::span<const uint8_t> code = take(2);
    const uint8_t count = code[0], value = code[1];
    if (count > 0) {
      for (int i = 0; i < count; ++i, ++x) {
        if (x >= l.width) { x += count - i; break; }
        canvas.putIndex(x, y, four ? (i % 2 == 0 ? value >> 4 : value & 0xFu) : value);
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      const std::span<const uint8_t> delta = take(2);
      x += delta[0];
      y += delta[1];
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const size_t bytes = four ? (value + 1u) / 2 : value;
      const std::span<const uint8_t> run = take(bytes + (bytes % 2));
      for (int i = 0; i < value; ++i) {
        const uint8_t b = run[four ? static_cast<size_t>(i / 2) : static_cast<size_t>(i)];
        canvas.putIndex(x + i, y, four ? (i % 2 == 0 ? b >> 4 : b & 0xFu) : b);
      }
      x += value;
    }
  }
}

}  // namespace

Picture decodeBmp(ByteInput& file) {
  const Layout layout = readLayout(file, BmpBounds::OnePicture);
  if (layout.compression == kRle4 || layout.compression == kRle8) {
    Canvas canvas(layout);
    decodeRle(file, layout, canvas);
    return canvas.take();
  }
  Picture picture(static_cast<int32_t>(layout.width), static_cast<int32_t>(layout.height));
  decodeUncompressed(file, layout, picture);
  return picture;
}

Picture decodeBmp(std::span<const uint8_t> file) {
  MemoryInput input(file);
  return decodeBmp(input);
}

BmpInfo readBmpInfo(ByteInput& file, BmpBounds bounds) {
  const Layout l = readLayout(file, bounds);
  return {static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), l.bitCount, l.os2Core, l.topDown,
          l.compression == kRle4 || l.compression == kRle8};
}

void forEachBmpRow(ByteInput& file, const std::function<void(std::span<const int32_t>)>& row) {
  const Layout l = readLayout(file, BmpBounds::RowByRow);
  if (l.compression == kRle4 || l.compression == kRle8) throw invalidPicture("RLE-Bild nur als Ganzes lesbar");
  std::vector<int32_t> colours(static_cast<size_t>(l.width));
  for (int64_t y = 0; y < l.height; ++y) {
    decodeRow(file, l, y, colours.data());
    row(colours);
  }
}

Picture loadBmpFile(const std::string& path) {
  FileInput input(path);
  return decodeBmp(input);
}

}  // namespace zwp
