// Dithering a 128 x 128 picture to emblem colours and fitting a 512 x 512 one
// into 128, as zwpconv and the page call them (ditherToEmblemLevels,
// fitInside), natively: the page's WebAssembly is held against these times
// (bench/web_page.mjs prints its own).
#include <benchmark/benchmark.h>

#include <random>

#include "convert/artwork.h"

namespace {

zwp::Picture noise(int32_t side) {
  zwp::Picture pic(side, side);
  std::mt19937 rng(1);
  for (auto& c : pic.pixels()) c = static_cast<int32_t>(rng() & 0xFFFFFF);
  return pic;
}

void Dither128(benchmark::State& state) {
  const zwp::Picture picture = noise(128);
  for (auto _ : state) benchmark::DoNotOptimize(zwp::ditherToEmblemLevels(picture));
}

void Fit512To128(benchmark::State& state) {
  const zwp::Picture picture = noise(512);
  for (auto _ : state) benchmark::DoNotOptimize(zwp::fitInside(picture, 128));
}

}  // namespace

BENCHMARK(Dither128)->Unit(benchmark::kMicrosecond);
BENCHMARK(Fit512To128)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
