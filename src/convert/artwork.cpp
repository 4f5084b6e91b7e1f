#include "convert/artwork.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bitmap/bmp_reader.h"
#include "codec/pixel_codec.h"
#include "convert/load.h"
#include "core/error.h"

namespace zwp {

namespace {

int channel(int32_t colour, int shift) { return (colour >> shift) & 0xFF; }

// Rounded a * b / c for non-negative numbers.
int64_t roundedRatio(int64_t a, int64_t b, int64_t c) { return (2 * a * b + c) / (2 * c); }

// The source spans that make up each new pixel along one axis. In units of
// 1/newLength of an old pixel, old pixel i covers [i * newLength, (i + 1) *
// newLength) and new pixel n covers [n * oldLength, (n + 1) * oldLength); a
// span is an old pixel and the length of its overlap with the new one.
struct Span {
  int32_t source;
  int64_t weight;
};
std::vector<std::vector<Span>> spansOf(int32_t oldLength, int32_t newLength) {
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

}  // namespace

Picture flatten(const RgbaPixels& pixels, int32_t background) {
  Picture out(pixels.width, pixels.height);
  const int bg[3] = {channel(background, 0), channel(background, 8), channel(background, 16)};
  for (int32_t y = 0; y < pixels.height; ++y) {
    const uint8_t* in = pixels.data + static_cast<size_t>(y) * pixels.stride;
    std::span<int32_t> row = out.row(y);
    for (size_t x = 0; x < row.size(); ++x, in += 4) {
      const int a = in[3];
      int c[3];
      for (size_t k = 0; k < 3; ++k) c[k] = (in[k] * a + bg[k] * (255 - a) + 127) / 255;
      row[x] = colourOf(c[0], c[1], c[2]);
    }
  }
  return out;
}

Size fittedSize(int32_t width, int32_t height, int32_t side) {
  if (width <= side && height <= side) return {width, height};
  if (width >= height) {
    return {side, static_cast<int32_t>(std::max<int64_t>(1, roundedRatio(height, side, width)))};
  }
  return {static_cast<int32_t>(std::max<int64_t>(1, roundedRatio(width, side, height))), side};
}

Picture fitInside(const Picture& picture, int32_t side) {
  const int32_t w = picture.width(), h = picture.height();
  const Size size = fittedSize(w, h, side);
  if (size.width == w && size.height == h) return picture;
  const auto columns = spansOf(w, size.width);
  const auto rows = spansOf(h, size.height);
  const size_t outWidth = static_cast<size_t>(size.width);

  // One old row averaged across: per new column and channel, in units of 1/newWidth.
  std::vector<int64_t> across(outWidth * 3);
  int32_t acrossRow = -1;
  auto rowAcross = [&](int32_t y) {
    if (acrossRow == y) return;
    acrossRow = y;
    const std::span<const int32_t> in = picture.row(y);
    for (size_t n = 0; n < outWidth; ++n) {
      int64_t sum[3] = {0, 0, 0};
      for (const Span& s : columns[n]) {
        const int32_t c = in[static_cast<size_t>(s.source)];
        sum[0] += s.weight * channel(c, 0);
        sum[1] += s.weight * channel(c, 8);
        sum[2] += s.weight * channel(c, 16);
      }
      std::copy_n(sum, 3, &across[3 * n]);
    }
  };

  Picture out(size.width, size.height);
  const int64_t area = int64_t{w} * h;  // the weight of a whole new pixel
  std::vector<int64_t> down(outWidth * 3);
  for (int32_t m = 0; m < size.height; ++m) {
    std::fill(down.begin(), down.end(), 0);
    for (const Span& s : rows[static_cast<size_t>(m)]) {
      rowAcross(s.source);
      for (size_t k = 0; k < down.size(); ++k) down[k] += s.weight * across[k];
    }
    std::span<int32_t> row = out.row(m);
    for (size_t n = 0; n < outWidth; ++n) {
      int c[3];
      for (size_t k = 0; k < 3; ++k) c[k] = static_cast<int>((2 * down[3 * n + k] + area) / (2 * area));
      row[n] = colourOf(c[0], c[1], c[2]);
    }
  }
  return out;
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

bool emblemTakesSize(int32_t width, int32_t height, const EmblemOptions& options) {
  return options.fit > 0 || (width <= kMaxBitmapSide && height <= kMaxBitmapSide);
}

std::optional<Picture> prepareForEmblem(Picture picture, const EmblemOptions& options) {
  if (!emblemTakesSize(picture.width(), picture.height(), options)) return std::nullopt;
  if (options.fit > 0) picture = fitInside(picture, options.fit);
  if (options.dither) picture = ditherToEmblemLevels(picture);
  return picture;
}

std::optional<Picture> bitmapForEmblem(std::span<const uint8_t> file, const EmblemOptions& options, Refusal* why) {
  if (options.fit == 0) {
    auto bitmap = loadBitmapForPreview(file, why);
    if (!bitmap) return std::nullopt;
    return std::move(bitmap->picture);
  }
  if (why) *why = Refusal::None;
  return decodeBmp(file);
}

Picture ditherToEmblemLevels(const Picture& picture) {
  const int32_t w = picture.width(), h = picture.height();
  Picture out(w, h);
  const size_t cells = (static_cast<size_t>(w) + 2) * 3;
  // Errors carried to this row and the next, one pixel of margin on each side.
  std::vector<float> here(cells, 0.0f), next(cells, 0.0f);
  for (int32_t y = 0; y < h; ++y) {
    const bool leftToRight = y % 2 == 0;
    const std::span<const int32_t> in = picture.row(y);
    std::span<int32_t> row = out.row(y);
    std::fill(next.begin(), next.end(), 0.0f);
    for (int32_t i = 0; i < w; ++i) {
      const int32_t x = leftToRight ? i : w - 1 - i;
      const size_t at = 3 * static_cast<size_t>(x + 1);
      const ptrdiff_t ahead = leftToRight ? 3 : -3;
      int level[3];
      for (size_t k = 0; k < 3; ++k) {
        const float wanted = std::clamp(static_cast<float>(channel(in[static_cast<size_t>(x)], static_cast<int>(8 * k))) +
                                            here[at + k],
                                        0.0f, 255.0f);
        const auto value = static_cast<int16_t>(wanted + 0.5f);
        level[k] = k == 1 ? Quant6(value) : Quant5(value);
        const float error = wanted - static_cast<float>(level[k]);
        here[static_cast<size_t>(static_cast<ptrdiff_t>(at + k) + ahead)] += error * (7.0f / 16);
        next[static_cast<size_t>(static_cast<ptrdiff_t>(at + k) - ahead)] += error * (3.0f / 16);
        next[at + k] += error * (5.0f / 16);
        next[static_cast<size_t>(static_cast<ptrdiff_t>(at + k) + ahead)] += error * (1.0f / 16);
      }
      row[static_cast<size_t>(x)] = colourOf(level[0], level[1], level[2]);
    }
    std::swap(here, next);
  }
  return out;
}

}  // namespace zwp
