#include "convert/png_rows.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "convert/orientation.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/picture.h"

namespace zwp {

namespace {

uint32_t crc32(const uint8_t* data, size_t length) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Where each pass starts and how far apart its pixels lie: the seven passes of
// Adam7, then the one pass of a picture that is not interlaced.
constexpr uint32_t kPasses[8][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}, {0, 0, 1, 1}};

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

}  // namespace

PngRows::PngRows(std::span<const uint8_t> f) {
  for (size_t i = 0; i < 256; ++i) palette_[4 * i + 3] = 255;
  if (f.size() < 8 + 25 || std::memcmp(f.data(), "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(f.data() + 12, "IHDR", 4) != 0) {
    throw refused(Refusal::Damaged);
  }
  bool seenData = false;
  for (size_t at = 8; at + 12 <= f.size();) {
    const size_t length = readBe32(&f[at]);
    const uint8_t* type = &f[at + 4];
    const uint8_t* data = &f[at + 8];
    const bool critical = (type[0] & 0x20) == 0;
    if (length > f.size() - at - 12) {
      if (critical || !seenData) throw refused(Refusal::Damaged);  // cut where libpng still reads
      break;
    }
    const bool whole = crc32(type, length + 4) == readBe32(data + length);
    if (!whole && critical) throw refused(Refusal::Damaged);
    at += 12 + length;
    if (!whole) continue;  // a damaged ancillary chunk is passed over, as libpng does
    if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
      header_ = {readBe32(data), readBe32(data + 4), 1};
      depth_ = data[8];
      colourType_ = data[9];
      interlaced_ = data[12] == 1;
      const bool known = (colourType_ == 0 && (depth_ == 1 || depth_ == 2 || depth_ == 4 || depth_ == 8 || depth_ == 16)) ||
                         (colourType_ == 3 && (depth_ == 1 || depth_ == 2 || depth_ == 4 || depth_ == 8)) ||
                         ((colourType_ == 2 || colourType_ == 4 || colourType_ == 6) && (depth_ == 8 || depth_ == 16));
      if (!known || data[10] != 0 || data[11] != 0 || data[12] > 1 || header_.width == 0 || header_.height == 0) {
        throw refused(Refusal::Damaged);
      }
      channels_ = colourType_ == 2 ? 3 : colourType_ == 4 ? 2 : colourType_ == 6 ? 4 : 1;
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
      for (size_t i = 0; i < std::min<size_t>(length / 3, 256); ++i) std::copy_n(data + 3 * i, 3, &palette_[4 * i]);
    } else if (std::memcmp(type, "tRNS", 4) == 0 && !seenData) {
      if (colourType_ == 3) {
        for (size_t i = 0; i < std::min<size_t>(length, 256); ++i) palette_[4 * i + 3] = data[i];
      } else if (colourType_ == 0 && length >= 2) {
        trns_[0] = static_cast<int>(readBe16(data));
      } else if (colourType_ == 2 && length >= 6) {
        for (size_t k = 0; k < 3; ++k) trns_[k] = static_cast<int>(readBe16(data + 2 * k));
      }
    } else if (std::memcmp(type, "eXIf", 4) == 0 && !seenData) {
      header_.orientation = tiffOrientation({data, length});
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      seenData = true;
      deflated_.insert(deflated_.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
  }
  if (!seenData) throw refused(Refusal::Damaged);
  pixelBytes_ = std::max<size_t>(1, static_cast<size_t>(channels_ * depth_ / 8));
  if (interlaced_) {
    // Interlaced rows are only complete after the last pass: the whole
    // picture is held, within the bounds of one picture in memory.
    checkPictureSize(header_.width, header_.height);
    whole_.resize(static_cast<size_t>(header_.width) * static_cast<size_t>(header_.height) * 4);
  }
  rgba_.resize(static_cast<size_t>(header_.width) * 4);
  pass_ = interlaced_ ? 0 : 7;
  startPass();
}

void PngRows::startPass() {
  // Passes without pixels have no rows at all.
  for (; pass_ <= 7; ++pass_) {
    const uint32_t* p = kPasses[pass_];
    const auto w = static_cast<uint32_t>(header_.width), h = static_cast<uint32_t>(header_.height);
    passWidth_ = w > p[0] ? (w - p[0] + p[2] - 1) / p[2] : 0;
    passHeight_ = h > p[1] ? (h - p[1] + p[3] - 1) / p[3] : 0;
    if (passWidth_ > 0 && passHeight_ > 0) break;
    if (!interlaced_) break;
  }
  passRow_ = 0;
  const size_t lineBytes = (static_cast<size_t>(passWidth_) * static_cast<size_t>(channels_ * depth_) + 7) / 8;
  line_.assign(lineBytes + 1, 0);
  previous_.assign(lineBytes + 1, 0);
  filled_ = 0;
}

void PngRows::add(std::span<const uint8_t> inflated, RowSink& rows) {
  while (!inflated.empty()) {
    if (done_) return;  // bytes after the last row are ignored, as libpng ignores them
    const size_t n = std::min(inflated.size(), line_.size() - filled_);
    std::copy_n(inflated.begin(), n, line_.begin() + static_cast<std::ptrdiff_t>(filled_));
    filled_ += n;
    inflated = inflated.subspan(n);
    if (filled_ == line_.size()) unfilter(rows);
  }
}

void PngRows::unfilter(RowSink& rows) {
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
    default: throw refused(Refusal::Damaged);
  }
  toRgba(raw, passWidth_, rgba_.data());
  if (interlaced_) {
    const uint32_t* p = kPasses[pass_];
    const size_t y = p[1] + static_cast<size_t>(passRow_) * p[3];
    for (size_t x = 0; x < passWidth_; ++x) {
      std::copy_n(&rgba_[4 * x], 4, &whole_[4 * (y * static_cast<size_t>(header_.width) + p[0] + x * p[2])]);
    }
  } else {
    rows.addRows(rgba_.data(), 1, rgba_.size(), Alpha::Straight);
  }
  std::swap(line_, previous_);
  filled_ = 0;
  if (++passRow_ < passHeight_) return;
  if (!interlaced_ || pass_ >= 6) {
    done_ = true;
    return;
  }
  ++pass_;
  startPass();
  if (pass_ > 6) done_ = true;  // no pass left with pixels
}

void PngRows::toRgba(const uint8_t* line, uint32_t count, uint8_t* out) const {
  // Sample s of the line, as stored (1 to 16 bits).
  auto sample = [&](size_t s) -> unsigned {
    if (depth_ == 16) return readBe16(line + 2 * s);
    if (depth_ == 8) return line[s];
    const size_t bit = s * static_cast<size_t>(depth_);
    return (line[bit / 8] >> (8 - depth_ - static_cast<int>(bit % 8))) & ((1u << depth_) - 1);
  };
  auto eight = [&](unsigned v) -> uint8_t {
    if (depth_ == 16) return static_cast<uint8_t>((v * 255 + 32767) / 65535);
    return static_cast<uint8_t>(v * (255 / ((1u << depth_) - 1)));  // low depths replicate
  };
  const size_t c = static_cast<size_t>(channels_);
  for (size_t x = 0; x < count; ++x, out += 4) {
    if (colourType_ == 3) {
      std::copy_n(&palette_[4 * sample(x)], 4, out);
      continue;
    }
    const bool grey = colourType_ == 0 || colourType_ == 4;
    bool transparent = trns_[0] >= 0;
    for (size_t k = 0; k < 3; ++k) {
      const unsigned v = sample(x * c + (grey ? 0 : k));
      out[k] = eight(v);
      if (!grey || k == 0) transparent = transparent && static_cast<int>(v) == trns_[grey ? 0 : k];
    }
    const bool alpha = colourType_ == 4 || colourType_ == 6;
    out[3] = alpha ? eight(sample(x * c + c - 1)) : transparent ? 0 : 255;
  }
}

void PngRows::finish(RowSink& rows) {
  if (!done_) throw refused(Refusal::Damaged);
  if (interlaced_) rows.addRows(whole_.data(), static_cast<int32_t>(header_.height), rgba_.size(), Alpha::Straight);
}

}  // namespace zwp
