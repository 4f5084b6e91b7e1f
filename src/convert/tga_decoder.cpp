// TGA, our own reader: it has no toolkit to lean on in the browser, and Qt's
// reader takes neither run-length encoding nor colour maps. Colour-mapped,
// true-colour and grey pictures of 8, 15, 16, 24 and 32 bits, plain or
// run-length encoded, from any of the four corners. Every rule of the format
// is here: what a TGA header looks like, whether a file is whole, and its
// pixels, read through a cursor that cannot pass the file's end. Rows are
// delivered in the order they are stored, the corner given as an orientation,
// so that a picture to be shrunk never has to be held whole.
#include "convert/tga_decoder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/byte_cursor.h"
#include "core/byte_file.h"
#include "core/error.h"

namespace zwp {

namespace {

enum Type { Mapped = 1, TrueColour = 2, Grey = 3, RunLength = 8 };

struct Layout {
  int type = 0;  // one of Type, with RunLength added for run-length encoding
  size_t width = 0, height = 0;
  int depth = 0;
  bool alpha = false;  // the descriptor names alpha bits
  int orientation = 1;
  size_t mapFirst = 0, mapEntries = 0;
  int mapDepth = 0;
  size_t mapAt = 0, pixelsAt = 0;
  size_t pixelBytes() const { return static_cast<size_t>((depth + 7) / 8); }
  size_t mapBytes() const { return static_cast<size_t>((mapDepth + 7) / 8); }
};

bool typeKnown(int type) { return (type & ~RunLength) >= Mapped && (type & ~RunLength) <= Grey; }

bool depthKnown(int depth, bool trueColour) {
  return trueColour ? depth == 15 || depth == 16 || depth == 24 || depth == 32 : depth == 8;
}

// Exif's orientation of rows stored from the given corner: from the bottom
// is upside down, from the right is mirrored.
int orientationOf(bool topDown, bool rightToLeft) {
  if (topDown) return rightToLeft ? 2 : 1;
  return rightToLeft ? 3 : 4;
}

Layout layoutOf(ByteInput& f) {
  if (f.size() < 18) throw invalidPicture("Datei ist abgeschnitten (Kopf)");
  ByteCursor head(f);
  const uint8_t idLength = head.u8(), hasMap = head.u8();
  Layout l;
  l.type = head.u8();
  if (!typeKnown(l.type) || hasMap > 1 || ((l.type & ~RunLength) == Mapped) != (hasMap == 1)) {
    throw refused(Refusal::UnknownFormat);
  }
  l.mapFirst = head.le16();
  l.mapEntries = head.le16();
  l.mapDepth = head.u8();
  head.skip(4);  // the picture's place on a screen
  l.width = head.le16();
  l.height = head.le16();
  l.depth = head.u8();
  const uint8_t descriptor = head.u8();
  l.alpha = (descriptor & 0x0F) != 0;
  l.orientation = orientationOf((descriptor & 0x20) != 0, (descriptor & 0x10) != 0);
  const bool mapKnown = hasMap == 0 || depthKnown(l.mapDepth, true);
  if (!depthKnown(l.depth, (l.type & ~RunLength) == TrueColour) || !mapKnown) {
    throw invalidPicture("TGA mit " + std::to_string(l.depth) + " Bit wird nicht unterstützt");
  }
  l.mapAt = 18 + size_t{idLength};
  l.pixelsAt = l.mapAt + (hasMap ? l.mapEntries * l.mapBytes() : 0);
  return l;
}

// One stored colour of 15 to 32 bits as RGBA; 5-bit channels widen to full range.
void colourAt(const uint8_t* p, int depth, bool alpha, uint8_t* out) {
  if (depth <= 16) {
    const unsigned v = readLe16(p);
    auto wide = [](unsigned c) { return static_cast<uint8_t>((c * 255 + 15) / 31); };
    out[0] = wide((v >> 10) & 31);
    out[1] = wide((v >> 5) & 31);
    out[2] = wide(v & 31);
    out[3] = depth == 16 && alpha && !(v & 0x8000) ? 0 : 255;
    return;
  }
  out[0] = p[2];
  out[1] = p[1];
  out[2] = p[0];
  out[3] = depth == 32 && alpha ? p[3] : 255;
}

// Every stored pixel in file order, run-length packets unrolled (a packet may
// run on into the next row): `pixel` gets each pixel's stored bytes, `rowDone`
// each row once it is complete.
template <typename Pixel, typename RowDone>
void walkPixels(ByteInput& f, const Layout& l, Pixel&& pixel, RowDone&& rowDone) {
  ByteCursor in(f, l.pixelsAt);
  const size_t bytes = l.pixelBytes();
  size_t runLeft = 0;
  bool repeat = false;
  uint8_t repeated[4] = {};
  for (size_t y = 0; y < l.height; ++y) {
    for (size_t x = 0; x < l.width; ++x) {
      if (!(l.type & RunLength)) {
        pixel(x, in.take(bytes).data());
        continue;
      }
      if (runLeft == 0) {
        const uint8_t packet = in.u8();
        runLeft = (packet & 0x7Fu) + 1u;
        repeat = (packet & 0x80) != 0;
        if (repeat) std::copy_n(in.take(bytes).data(), bytes, repeated);
      }
      pixel(x, repeat ? repeated : in.take(bytes).data());
      --runLeft;
    }
    rowDone(y);
  }
}

class TgaDecoder final : public Decoder {
 public:
  PictureHeader header(ByteInput& file) const override {
    const Layout l = layoutOf(file);
    return {static_cast<int64_t>(l.width), static_cast<int64_t>(l.height), l.orientation};
  }

  void decode(ByteInput& f, RowSink& rows) const override {
    const Layout l = layoutOf(f);
    const bool mapped = (l.type & ~RunLength) == Mapped, grey = (l.type & ~RunLength) == Grey;
    std::vector<uint8_t> map(l.mapEntries * 4, 0);
    if (mapped) {
      ByteCursor entries(f, l.mapAt);
      for (size_t i = 0; i < l.mapEntries; ++i) colourAt(entries.take(l.mapBytes()).data(), l.mapDepth, l.alpha, &map[4 * i]);
    }
    std::vector<uint8_t> row(l.width * 4);
    walkPixels(
        f, l,
        [&](size_t x, const uint8_t* p) {
          uint8_t* out = &row[4 * x];
          if (grey) {
            out[0] = out[1] = out[2] = p[0];
            out[3] = 255;
          } else if (mapped) {
            // Indices count from the map's first entry; those outside it are black.
            const size_t index = p[0] - l.mapFirst;
            for (size_t k = 0; k < 4; ++k) out[k] = index < l.mapEntries ? map[4 * index + k] : (k == 3 ? 255 : 0);
          } else {
            colourAt(p, l.depth, l.alpha, out);
          }
        },
        [&](size_t) { rows.addRows(row.data(), 1, row.size(), Alpha::Straight); });
  }
};

}  // namespace

bool looksLikeTga(std::span<const uint8_t> f) {
  if (f.size() < 18 || f[1] > 1 || !typeKnown(f[2])) return false;
  const int depth = f[16];
  return depth == 8 || depthKnown(depth, true);
}

void checkTgaComplete(ByteInput& file) {
  walkPixels(file, layoutOf(file), [](size_t, const uint8_t*) {}, [](size_t) {});
}

std::shared_ptr<const Decoder> tgaDecoder() { return std::make_shared<TgaDecoder>(); }

}  // namespace zwp
