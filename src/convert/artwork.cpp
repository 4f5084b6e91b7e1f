#include "convert/artwork.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codec/pixel_codec.h"
#include "core/error.h"

namespace zwp {

namespace {

int channel(int32_t colour, int shift) { return (colour >> shift) & 0xFF; }

// Rounded a * b / c for non-negative numbers.
int64_t roundedRatio(int64_t a, int64_t b, int64_t c) { return (2 * a * b + c) / (2 * c); }

}  // namespace

void flattenRow(const uint8_t* in, size_t width, Alpha alpha, int32_t background, int32_t* out) {
  const int bg[3] = {channel(background, 0), channel(background, 8), channel(background, 16)};
  const bool premultiplied = alpha == Alpha::Premultiplied;
  for (size_t x = 0; x < width; ++x, in += 4) {
    const int a = in[3];
    // Opaque pixels (every pixel of a photo) keep their colour as it is; the
    // blend below gives the same, only slower.
    if (a == 255) {
      out[x] = colourOf(in[0], in[1], in[2]);
      continue;
    }
    int c[3];
    for (size_t k = 0; k < 3; ++k) {
      const int own = premultiplied ? std::min<int>(in[k], a) * 255 : in[k] * a;
      c[k] = (own + bg[k] * (255 - a) + 127) / 255;
    }
    out[x] = colourOf(c[0], c[1], c[2]);
  }
}

Size fittedSize(int32_t width, int32_t height, int32_t side) {
  if (width <= side && height <= side) return {width, height};
  if (width >= height) {
    return {side, static_cast<int32_t>(std::max<int64_t>(1, roundedRatio(height, side, width)))};
  }
  return {static_cast<int32_t>(std::max<int64_t>(1, roundedRatio(width, side, height))), side};
}

// The source spans that make up each new pixel along one axis. In units of
// 1/newLength of an old pixel, old pixel i covers [i * newLength, (i + 1) *
// newLength) and new pixel n covers [n * oldLength, (n + 1) * oldLength); a
// span is an old pixel and the length of its overlap with the new one.
std::vector<std::vector<AreaFitter::Span>> AreaFitter::spansOf(int32_t oldLength, int32_t newLength) {
  std::vector<std::vector<Span>> spans(static_cast<size_t>(newLength));
  for (int32_t n = 0; n < newLength; ++n) {
    const int64_t begin = int64_t{n} * oldLength, end = int64_t{n + 1} * oldLength;
    for (int64_t i = begin / newLength; i * newLength < end; ++i) {
      const int64_t overlap = std::min(end, (i + 1) * newLength) - std::max(begin, i * newLength);
      if (overlap > 0) spans[static_cast<size_t>(n)].push_back({static_cast<int32_t>(i), overlap});
    }
  }
  return spans;
}

AreaFitter::AreaFitter(int32_t width, int32_t height, int32_t side)
    : width_(width), height_(height), size_(fittedSize(width, height, side)) {
  const bool shrinks = size_.width != width || size_.height != height;
  // Nothing to average: a picture without pixels cannot be shrunk to one with some.
  if (shrinks && (width == 0 || height == 0)) throw refused(Refusal::Empty);
  kept_ = Picture(size_.width, size_.height);
  if (!shrinks) return;
  columns_ = spansOf(width, size_.width);
  across_.assign(static_cast<size_t>(size_.width) * 3, 0);
  sums_.assign(across_.size() * 2, 0);
}

void AreaFitter::addRow(std::span<const int32_t> in) {
  if (rowsIn_ >= height_ || in.size() != static_cast<size_t>(width_)) throw invalidPicture("Zeilen passen nicht zum Bild");
  const int32_t y = rowsIn_++;
  if (sums_.empty()) {
    std::copy(in.begin(), in.end(), kept_.row(y).begin());
    return;
  }
  // The old row averaged across, per new column and channel, in units of 1/newWidth.
  for (size_t n = 0; n < columns_.size(); ++n) {
    int64_t sum[3] = {0, 0, 0};
    for (const Span& s : columns_[n]) {
      const int32_t c = in[static_cast<size_t>(s.source)];
      sum[0] += s.weight * channel(c, 0);
      sum[1] += s.weight * channel(c, 8);
      sum[2] += s.weight * channel(c, 16);
    }
    std::copy_n(sum, 3, &across_[3 * n]);
  }
  // Down into each new row the old one overlaps (in units of 1/newHeight). The
  // new picture is never higher than the old, so an old row touches at most
  // two new rows, and a new row is done once the old rows reach its end.
  const int64_t oldH = height_, newH = size_.height;
  const int64_t begin = y * newH, end = (y + 1) * newH;
  const int64_t area = int64_t{width_} * height_;  // the weight of a whole new pixel
  for (int64_t m = begin / oldH; m < newH && m * oldH < end; ++m) {
    const int64_t weight = std::min(end, (m + 1) * oldH) - std::max(begin, m * oldH);
    int64_t* sums = &sums_[static_cast<size_t>(m & 1) * across_.size()];
    for (size_t k = 0; k < across_.size(); ++k) sums[k] += weight * across_[k];
    if ((m + 1) * oldH > end) continue;
    for (int32_t& colour : kept_.row(static_cast<int32_t>(m))) {
      int c[3];
      for (size_t k = 0; k < 3; ++k) c[k] = static_cast<int>((2 * sums[k] + area) / (2 * area));
      colour = colourOf(c[0], c[1], c[2]);
      std::fill_n(sums, 3, 0);
      sums += 3;
    }
  }
}

Picture AreaFitter::take() {
  if (rowsIn_ != height_) throw invalidPicture("Bild ist unvollständig");
  return std::move(kept_);
}

Picture fitInside(const Picture& picture, int32_t side) {
  AreaFitter fitter(picture.width(), picture.height(), side);
  if (fitter.size().width == picture.width() && fitter.size().height == picture.height()) return picture;
  for (int32_t y = 0; y < picture.height(); ++y) fitter.addRow(picture.row(y));
  return fitter.take();
}

Picture thumbnailOf(const Picture& picture, int32_t side) {
  const int32_t longer = std::max(picture.width(), picture.height());
  if (longer == 0 || longer >= side) return fitInside(picture, side);
  const int32_t factor = side / longer;
  Picture out(picture.width() * factor, picture.height() * factor);
  for (int32_t y = 0; y < out.height(); ++y) {
    const std::span<const int32_t> in = picture.row(y / factor);
    std::span<int32_t> row = out.row(y);
    for (size_t x = 0; x < row.size(); ++x) row[x] = in[x / static_cast<size_t>(factor)];
  }
  return out;
}

namespace {

// Four lanes: red, green, blue and one that stays zero. The compilers turn
// these into SSE on the PC and into plain WebAssembly in the page, where the
// same steps on each channel gave a loop twice as slow.
using Lanes = float __attribute__((vector_size(16)));
using IntLanes = int32_t __attribute__((vector_size(16)));

template <typename To, typename From>
To bitsOf(const From& from) {
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}
Lanes loadLanes(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void storeLanes(float* p, Lanes v) { std::memcpy(p, &v, sizeof v); }
// a where the lane is taken, else b.
Lanes pick(IntLanes take, Lanes a, Lanes b) {
  return bitsOf<Lanes>((bitsOf<IntLanes>(a) & take) | (bitsOf<IntLanes>(b) & ~take));
}

}  // namespace

// Floyd-Steinberg on serpentine rows, in single precision, each channel
// snapped as Quant5 and Quant6 snap it (the level's even or odd code, its
// dropped bits all zero or all one).
Picture ditherToEmblemLevels(const Picture& picture) {
  const int32_t w = picture.width(), h = picture.height();
  Picture out(w, h);
  // Errors carried to this row and the next: four floats a pixel, one pixel
  // of margin on each side.
  const size_t cells = (static_cast<size_t>(w) + 2) * 4;
  std::vector<float> here(cells, 0.0f), next(cells, 0.0f);
  const IntLanes kept = {0xF8, 0xFC, 0xF8, 0}, odd = {8, 4, 8, 0}, fill = {7, 3, 7, 0}, colours = {-1, -1, -1, 0};
  const Lanes low = {0, 0, 0, 0}, high = {255, 255, 255, 255};
  for (int32_t y = 0; y < h; ++y) {
    const bool leftToRight = y % 2 == 0;
    const ptrdiff_t ahead = leftToRight ? 4 : -4;
    const std::span<const int32_t> in = picture.row(y);
    std::span<int32_t> row = out.row(y);
    std::fill(next.begin(), next.end(), 0.0f);
    for (int32_t i = 0; i < w; ++i) {
      const size_t x = static_cast<size_t>(leftToRight ? i : w - 1 - i);
      float* const carried = here.data() + 4 * (x + 1);
      float* const below = next.data() + 4 * (x + 1);
      const int32_t c = in[x];
      const IntLanes channels = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0};
      Lanes wanted = __builtin_convertvector(channels, Lanes) + loadLanes(carried);
      wanted = pick(wanted < low, low, wanted);
      wanted = pick(high < wanted, high, wanted);
      const IntLanes value = __builtin_convertvector(wanted + 0.5f, IntLanes);
      const IntLanes level = (value & kept) | (((value & odd) != 0) & fill);
      const Lanes error = bitsOf<Lanes>(bitsOf<IntLanes>(wanted - __builtin_convertvector(level, Lanes)) & colours);
      storeLanes(carried + ahead, loadLanes(carried + ahead) + error * (7.0f / 16));
      storeLanes(below - ahead, loadLanes(below - ahead) + error * (3.0f / 16));
      storeLanes(below, loadLanes(below) + error * (5.0f / 16));
      storeLanes(below + ahead, loadLanes(below + ahead) + error * (1.0f / 16));
      row[x] = colourOf(level[0], level[1], level[2]);
    }
    std::swap(here, next);
  }
  return out;
}

}  // namespace zwp
