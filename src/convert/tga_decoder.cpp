// TGA, our own decoder: it has no toolkit to lean on in the browser, and Qt's
// reader takes neither run-length encoding nor colour maps. Colour-mapped,
// true-colour and grey pictures of 8, 15, 16, 24 and 32 bits, plain or
// run-length encoded, in any of the four corner orders.
#include "convert/tga_decoder.h"

#include <algorithm>
#include <vector>

#include "convert/completeness.h"
#include "core/byte_file.h"
#include "core/error.h"

namespace zwp {

namespace {

struct Layout {
  int type = 0;  // 1 colour-mapped, 2 true colour, 3 grey; +8 run-length encoded
  size_t width = 0, height = 0;
  int depth = 0;
  bool alpha = false;  // the descriptor names alpha bits
  bool topDown = false, rightToLeft = false;
  size_t mapFirst = 0, mapEntries = 0;
  int mapDepth = 0;
  size_t mapAt = 0, pixelsAt = 0;
};

Layout layoutOf(std::span<const uint8_t> f) {
  if (f.size() < 18) throw invalidPicture("Datei ist abgeschnitten (Kopf)");
  Layout l;
  l.type = f[2];
  const int plain = l.type & 7;
  if ((l.type & ~8) < 1 || plain > 3 || (plain == 1) != (f[1] == 1)) throw refused(Refusal::UnknownFormat);
  l.mapFirst = readLe16(&f[3]);
  l.mapEntries = readLe16(&f[5]);
  l.mapDepth = f[7];
  l.width = readLe16(&f[12]);
  l.height = readLe16(&f[14]);
  l.depth = f[16];
  l.alpha = (f[17] & 0x0F) != 0;
  l.rightToLeft = (f[17] & 0x10) != 0;
  l.topDown = (f[17] & 0x20) != 0;
  const bool depthKnown = plain == 2 ? l.depth == 15 || l.depth == 16 || l.depth == 24 || l.depth == 32 : l.depth == 8;
  const bool mapKnown = f[1] == 0 || l.mapDepth == 15 || l.mapDepth == 16 || l.mapDepth == 24 || l.mapDepth == 32;
  if (!depthKnown || !mapKnown) throw invalidPicture("TGA mit " + std::to_string(l.depth) + " Bit wird nicht unterstützt");
  l.mapAt = 18 + f[0];
  l.pixelsAt = l.mapAt + (f[1] ? l.mapEntries * static_cast<size_t>((l.mapDepth + 7) / 8) : 0);
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

class TgaDecoder final : public Decoder {
 public:
  PictureHeader header(std::span<const uint8_t> file) const override {
    const Layout l = layoutOf(file);
    return {static_cast<int64_t>(l.width), static_cast<int64_t>(l.height), 1};
  }

  void decode(std::span<const uint8_t> f, RowSink& rows) const override {
    checkComplete(Format::Tga, f);
    const Layout l = layoutOf(f);
    if (l.pixelsAt > f.size()) throw invalidPicture("Datei ist abgeschnitten");
    const size_t bytes = static_cast<size_t>((l.depth + 7) / 8);
    const bool mapped = (l.type & 7) == 1, grey = (l.type & 7) == 3;
    std::vector<uint8_t> map(l.mapEntries * 4, 0);
    for (size_t i = 0; mapped && i < l.mapEntries; ++i) {
      colourAt(&f[l.mapAt + i * static_cast<size_t>((l.mapDepth + 7) / 8)], l.mapDepth, l.alpha, &map[4 * i]);
    }
    auto pixel = [&](const uint8_t* p, uint8_t* out) {
      if (grey) {
        out[0] = out[1] = out[2] = p[0];
        out[3] = 255;
      } else if (mapped) {
        const size_t index = p[0] - l.mapFirst;
        for (size_t k = 0; k < 4; ++k) out[k] = index < l.mapEntries ? map[4 * index + k] : (k == 3 ? 255 : 0);
      } else {
        colourAt(p, l.depth, l.alpha, out);
      }
    };
    // Every pixel in file order, run-length packets unrolled.
    std::vector<uint8_t> stored(l.width * l.height * 4);
    size_t at = l.pixelsAt;
    for (size_t done = 0; done < l.width * l.height;) {
      size_t count = 1;
      bool repeat = false;
      if (l.type & 8) {
        const uint8_t packet = f[at++];
        count = (packet & 0x7Fu) + 1u;
        repeat = (packet & 0x80) != 0;
      }
      for (size_t i = 0; i < count && done < l.width * l.height; ++i, ++done) {
        pixel(&f[at], &stored[4 * done]);
        if (!repeat) at += bytes;
      }
      if (repeat) at += bytes;
    }
    // Rows from the top, left to right, whatever corner the file starts in.
    std::vector<uint8_t> row(l.width * 4);
    for (size_t y = 0; y < l.height; ++y) {
      const uint8_t* in = stored.data() + 4 * l.width * (l.topDown ? y : l.height - 1 - y);
      for (size_t x = 0; x < l.width; ++x) {
        const size_t from = l.rightToLeft ? l.width - 1 - x : x;
        std::copy_n(in + 4 * from, 4, &row[4 * x]);
      }
      rows.addRows(row.data(), 1, row.size(), Alpha::Straight);
    }
  }
};

}  // namespace

std::shared_ptr<const Decoder> tgaDecoder() { return std::make_shared<TgaDecoder>(); }

}  // namespace zwp
