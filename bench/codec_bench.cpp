// Emblem encode and decode of a 1024 x 1024 picture, next to Qt's own
// RGB32 -> RGB16 conversion of the same pixels as a yardstick.
#include <benchmark/benchmark.h>

#include <QImage>
#include <random>

#include "codec/emblem_file.h"

namespace {

constexpr int kSide = 1024;

const zwp::Picture& picture() {
  static const zwp::Picture p = [] {
    zwp::Picture pic(kSide, kSide);
    std::mt19937 rng(1);
    for (auto& c : pic.pixels) c = static_cast<int32_t>(rng() & 0xFFFFFF);
    return pic;
  }();
  return p;
}

void EmblemEncode(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(zwp::encodeEmblem(picture()));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void EmblemDecode(benchmark::State& state) {
  const std::vector<uint8_t> bytes = zwp::encodeEmblem(picture());
  for (auto _ : state) benchmark::DoNotOptimize(zwp::decodeEmblem(bytes));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void QImageToRgb16(benchmark::State& state) {
  QImage image(kSide, kSide, QImage::Format_RGB32);
  const auto& pixels = picture().pixels;
  for (int y = 0; y < kSide; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kSide; ++x) {
      const uint32_t c = static_cast<uint32_t>(pixels[static_cast<size_t>(y) * kSide + x]);
      line[x] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(image.convertToFormat(QImage::Format_RGB16));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

BENCHMARK(EmblemEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(EmblemDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(QImageToRgb16)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
