#include "convert/png_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "convert/inflate.h"
#include "convert/orientation.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/picture.h"

namespace zwp {

namespace {

[[noreturn]] void damaged() { throw refused(Refusal::Damaged); }

// The CRC-32 of PNG's chunks, continued from `crc` (0 to start) over the bytes.
uint32_t crc32(uint32_t crc, std::span<const uint8_t> bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = crc ^ 0xFFFFFFFFu;
  for (const uint8_t byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Read at a time from a chunk's data.
constexpr size_t kPiece = 64 * 1024;

// Where a chunk's data lies in the file.
struct Place {
  uint64_t at = 0;
  uint32_t length = 0;
  uint32_t typeCrc = 0;  // the checksum of its type, where the data's continues
};

// Whether the chunk's data (read a piece at a time) matches its checksum.
bool crcRight(ByteInput& f, const Place& chunk) {
  uint32_t crc = chunk.typeCrc;
  for (uint64_t done = 0; done < chunk.length;) {
    const size_t n = sizeOf(std::min<uint64_t>(kPiece, chunk.length - done));
    crc = crc32(crc, f.at(chunk.at + done, n));
    done += n;
  }
  return crc == readBe32(f.at(chunk.at + chunk.length, 4).data());
}

// What the chunks say: the header's fields, the palette with its alpha,
// the transparent sample, and where the image data lies.
struct Chunks {
  PictureHeader header;
  int depth = 8, colourType = 0, channels = 1;
  bool interlaced = false;
  std::vector<uint8_t> palette = std::vector<uint8_t>(256 * 4, 0);  // RGBA, black beyond the stored entries
  bool hasPalette = false;
  int trns[3] = {-1, -1, -1};  // the transparent grey or RGB sample, as stored
  std::vector<Place> data;  // the IDAT chunks, in order; their checksums are checked as they are read
};

void readHeader(const uint8_t* d, Chunks& c) {
  c.header = {readBe32(d), readBe32(d + 4), 1};
  c.depth = d[8];
  c.colourType = d[9];
  c.interlaced = d[12] == 1;
  const int t = c.colourType, b = c.depth;
  const bool known = (t == 0 && (b == 1 || b == 2 || b == 4 || b == 8 || b == 16)) ||
                     (t == 3 && (b == 1 || b == 2 || b == 4 || b == 8)) ||
                     ((t == 2 || t == 4 || t == 6) && (b == 8 || b == 16));
  const int64_t most = 0x7FFFFFFF;
  if (!known || d[10] != 0 || d[11] != 0 || d[12] > 1 || c.header.width == 0 || c.header.height == 0 ||
      c.header.width > most || c.header.height > most) {
    damaged();
  }
  c.channels = t == 2 ? 3 : t == 4 ? 2 : t == 6 ? 4 : 1;
}

// An Exif block's orientation needs its first directory, which lies at its start.
constexpr size_t kExifHead = 64 * 1024;

// The chunks of a PNG file, checked as they are read: exactly one header,
// first; a critical chunk whole, known and with its right checksum (a
// damaged ancillary one is passed over, one we do not use is not read); a
// palette before the data and only once; the data in one unbroken run. With
// `whole` every chunk up to IEND is walked, else only those before the data
// (for the header alone).
Chunks readChunks(ByteInput& f, bool whole) {
  if (f.size() < 8 + 25) damaged();
  const std::span<const uint8_t> start = f.at(0, 16);
  if (std::memcmp(start.data(), "\x89PNG\r\n\x1a\n", 8) != 0 || readBe32(&start[8]) != 13 || !is(&start[12], "IHDR")) {
    damaged();
  }
  Chunks c;
  for (size_t i = 0; i < 256; ++i) c.palette[4 * i + 3] = 255;
  bool dataEnded = false;
  for (uint64_t at = 8; at + 12 <= f.size();) {
    const std::span<const uint8_t> head = f.at(at, 8);
    const uint32_t length = readBe32(head.data());
    uint8_t type[4];
    std::copy_n(&head[4], 4, type);
    const bool critical = (type[0] & 0x20) == 0;
    if (length > 0x7FFFFFFF || length > f.size() - at - 12) {
      if (critical || c.data.empty()) damaged();  // cut before the data is whole
      break;
    }
    const bool first = at == 8;
    const Place chunk{at + 8, length, crc32(0, type)};
    at += 12 + uint64_t{length};
    if (!is(type, "IDAT")) dataEnded = !c.data.empty();
    if (is(type, "IDAT")) {
      if (dataEnded || (c.colourType == 3 && !c.hasPalette)) damaged();
      if (!whole) return c;
      c.data.push_back(chunk);
      continue;
    }
    if (critical && !is(type, "IHDR") && !is(type, "PLTE") && !is(type, "IEND")) damaged();  // one we do not know
    if (!critical && !(c.data.empty() && (is(type, "tRNS") || is(type, "eXIf")))) continue;
    if (!crcRight(f, chunk)) {
      if (critical) damaged();
      continue;
    }
    if (is(type, "IEND")) break;
    const std::span<const uint8_t> d = f.at(chunk.at, std::min<size_t>(length, kExifHead));
    if (is(type, "IHDR")) {
      if (!first) damaged();
      readHeader(d.data(), c);
    } else if (is(type, "PLTE")) {
      if (c.hasPalette || !c.data.empty()) damaged();
      if (c.colourType == 3 && (length == 0 || length % 3 != 0 || length > 3 * 256)) damaged();
      for (size_t i = 0; i < std::min<size_t>(length / 3, 256); ++i) std::copy_n(&d[3 * i], 3, &c.palette[4 * i]);
      c.hasPalette = true;
    } else if (is(type, "tRNS")) {
      if (c.colourType == 3) {
        for (size_t i = 0; i < std::min<size_t>(length, 256); ++i) c.palette[4 * i + 3] = d[i];
      } else if (c.colourType == 0 && length >= 2) {
        c.trns[0] = readBe16(d.data());
      } else if (c.colourType == 2 && length >= 6) {
        for (size_t k = 0; k < 3; ++k) c.trns[k] = readBe16(&d[2 * k]);
      }
    } else {
      c.header.orientation = tiffOrientation(d);
    }
  }
  if (whole && c.data.empty()) damaged();
  return c;
}

// Where each pass starts and how far apart its pixels lie: the seven passes of
// Adam7, then the one pass of a picture that is not interlaced.
constexpr uint32_t kPasses[8][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}, {0, 0, 1, 1}};

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Inflated data in, rows out: lines are unfiltered as they fill and turned
// into RGBA rows for the sink.
class Rows {
 public:
  Rows(const Chunks& c, RowSink& sink) : c_(c), sink_(sink) {
    pixelBytes_ = std::max<size_t>(1, static_cast<size_t>(c.channels * c.depth / 8));
    const auto width = static_cast<size_t>(c.header.width);
    if (c.interlaced) {
      // Interlaced rows are only complete after the last pass: the whole
      // picture is held, within the bounds of one picture in memory.
      checkPictureSize(c.header.width, c.header.height);
      whole_.resize(width * static_cast<size_t>(c.header.height) * 4);
    }
    rgba_.resize(width * 4);
    pass_ = c.interlaced ? 0 : 7;
    startPass();
  }

  // The next inflated bytes; false once every row is done and more came.
  bool add(std::span<const uint8_t> inflated) {
    while (!inflated.empty()) {
      if (done_) return false;
      const size_t n = std::min(inflated.size(), line_.size() - filled_);
      std::copy_n(inflated.begin(), n, line_.begin() + static_cast<std::ptrdiff_t>(filled_));
      filled_ += n;
      inflated = inflated.subspan(n);
      if (filled_ == line_.size()) unfilter();
    }
    return true;
  }

  void finish() {
    if (!done_) damaged();  // the data ends before the last row
    if (c_.interlaced) sink_.addRows(whole_.data(), static_cast<int32_t>(c_.header.height), rgba_.size(), Alpha::Straight);
  }

 private:
  void startPass() {
    // Passes without pixels have no rows at all.
    for (; pass_ <= 7; ++pass_) {
      const uint32_t* p = kPasses[pass_];
      const auto w = static_cast<uint32_t>(c_.header.width), h = static_cast<uint32_t>(c_.header.height);
      passWidth_ = w > p[0] ? (w - p[0] + p[2] - 1) / p[2] : 0;
      passHeight_ = h > p[1] ? (h - p[1] + p[3] - 1) / p[3] : 0;
      if (passWidth_ > 0 && passHeight_ > 0) break;
      if (!c_.interlaced) break;
    }
    passRow_ = 0;
    const size_t lineBytes = (static_cast<size_t>(passWidth_) * static_cast<size_t>(c_.channels * c_.depth) + 7) / 8;
    line_.assign(lineBytes + 1, 0);
    previous_.assign(lineBytes + 1, 0);
    filled_ = 0;
  }

  void unfilter() {
    uint8_t* raw = line_.data() + 1;
    const uint8_t* up = previous_.data() + 1;
    const size_t length = line_.size() - 1, step = pixelBytes_;
    switch (line_[0]) {
      case 0: break;
      case 1: for (size_t i = step; i < length; ++i) raw[i] = static_cast<uint8_t>(raw[i] + raw[i - step]); break;
      case 2: for (size_t i = 0; i < length; ++i) raw[i] = static_cast<uint8_t>(raw[i] + up[i]); break;
      case 3:
        for (size_t i = 0; i < length; ++i) raw[i] = static_cast<uint8_t>(raw[i] + ((i >= step ? raw[i - step] : 0) + up[i]) / 2);
        break;
      case 4:
        for (size_t i = 0; i < length; ++i) {
          raw[i] = static_cast<uint8_t>(raw[i] + paeth(i >= step ? raw[i - step] : 0, up[i], i >= step ? up[i - step] : 0));
        }
        break;
      default: damaged();
    }
    toRgba(raw, passWidth_, rgba_.data());
    if (c_.interlaced) {
      const uint32_t* p = kPasses[pass_];
      const size_t y = p[1] + static_cast<size_t>(passRow_) * p[3];
      for (size_t x = 0; x < passWidth_; ++x) {
        std::copy_n(&rgba_[4 * x], 4, &whole_[4 * (y * static_cast<size_t>(c_.header.width) + p[0] + x * p[2])]);
      }
    } else {
      sink_.addRows(rgba_.data(), 1, rgba_.size(), Alpha::Straight);
    }
    std::swap(line_, previous_);
    filled_ = 0;
    if (++passRow_ < passHeight_) return;
    if (!c_.interlaced || pass_ >= 6) {
      done_ = true;
      return;
    }
    ++pass_;
    startPass();
    if (pass_ > 6) done_ = true;  // no pass left with pixels
  }

  void toRgba(const uint8_t* line, uint32_t count, uint8_t* out) const {
    const int depth = c_.depth;
    // Sample s of the line, as stored (1 to 16 bits).
    auto sample = [&](size_t s) -> unsigned {
      if (depth == 16) return readBe16(line + 2 * s);
      if (depth == 8) return line[s];
      const size_t bit = s * static_cast<size_t>(depth);
      return (line[bit / 8] >> (8 - depth - static_cast<int>(bit % 8))) & ((1u << depth) - 1);
    };
    auto eight = [&](unsigned v) -> uint8_t {
      if (depth == 16) return static_cast<uint8_t>((v * 255 + 32767) / 65535);
      return static_cast<uint8_t>(v * (255 / ((1u << depth) - 1)));  // low depths replicate
    };
    const auto ch = static_cast<size_t>(c_.channels);
    for (size_t x = 0; x < count; ++x, out += 4) {
      if (c_.colourType == 3) {
        std::copy_n(&c_.palette[4 * sample(x)], 4, out);
        continue;
      }
      const bool grey = c_.colourType == 0 || c_.colourType == 4;
      bool transparent = c_.trns[0] >= 0;
      for (size_t k = 0; k < 3; ++k) {
        const unsigned v = sample(x * ch + (grey ? 0 : k));
        out[k] = eight(v);
        if (!grey || k == 0) transparent = transparent && static_cast<int>(v) == c_.trns[grey ? 0 : k];
      }
      const bool alpha = c_.colourType == 4 || c_.colourType == 6;
      out[3] = alpha ? eight(sample(x * ch + ch - 1)) : transparent ? 0 : 255;
    }
  }

  const Chunks& c_;
  RowSink& sink_;
  size_t pixelBytes_ = 1;  // the filter's step: bytes of a whole pixel, at least 1
  int pass_ = 0;
  uint32_t passWidth_ = 0, passHeight_ = 0, passRow_ = 0;
  std::vector<uint8_t> line_, previous_;  // the line being filled, with its filter byte; the one above
  size_t filled_ = 0;
  std::vector<uint8_t> rgba_;   // one row's pixels
  std::vector<uint8_t> whole_;  // the interlaced picture, gathered
  bool done_ = false;
};

class PngDecoder final : public Decoder {
 public:
  PictureHeader header(ByteInput& file) const override { return readChunks(file, false).header; }

  // The data is inflated to its end and its checksum checked; data after the
  // last row, and bytes after the stream, are ignored as libpng ignores them.
  // Each IDAT chunk's checksum is checked once its data has been read; the
  // chunks the rows did not need, from where they stopped, are checked whole.
  void decode(ByteInput& file, RowSink& sink) const override {
    const Chunks chunks = readChunks(file, true);
    Rows rows(chunks, sink);
    size_t next = 0;
    uint64_t done = 0;
    uint32_t crc = 0;
    const InflateSource source = [&]() -> std::span<const uint8_t> {
      for (; next < chunks.data.size(); ++next, done = 0) {
        const Place& chunk = chunks.data[next];
        if (done == 0) crc = chunk.typeCrc;
        if (done < chunk.length) {
          const size_t n = sizeOf(std::min<uint64_t>(kPiece, chunk.length - done));
          const std::span<const uint8_t> piece = file.at(chunk.at + done, n);
          crc = crc32(crc, piece);
          done += n;
          return piece;
        }
        if (crc != readBe32(file.at(chunk.at + chunk.length, 4).data())) damaged();
      }
      return {};
    };
    inflateZlib(source, [&](std::span<const uint8_t> bytes) { return rows.add(bytes); });
    rows.finish();
    for (size_t i = next; i < chunks.data.size(); ++i) {
      if (!crcRight(file, chunks.data[i])) damaged();
    }
  }
};

}  // namespace

std::shared_ptr<const Decoder> pngDecoder() { return std::make_shared<PngDecoder>(); }

}  // namespace zwp
