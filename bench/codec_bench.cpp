// The emblem encoder and decoder exactly as the window and zwpconv call them
// (writeEmblem into a byte sink, readEmblem from a byte source), on a
// 1024 x 1024 picture, next to Qt's own RGB32 -> RGB16 conversion of the same
// pixels as the yardstick: once as Qt runs it (its thread pool splits large
// images) and once on one thread.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QThreadPool>
#include <random>

#include "codec/emblem_file.h"

namespace {

constexpr int kSide = 1024;

const zwp::Picture& picture() {
  static const zwp::Picture p = [] {
    zwp::Picture pic(kSide, kSide);
    std::mt19937 rng(1);
    for (auto& c : pic.pixels()) c = static_cast<int32_t>(rng() & 0xFFFFFF);
    return pic;
  }();
  return p;
}

void WriteEmblem_AsTheProductCallsIt(benchmark::State& state) {
  for (auto _ : state) {
    zwp::VectorSink sink;
    sink.bytes.reserve(zwp::kEmblemHeaderSize + 2 * kSide * kSide);
    zwp::writeEmblem(sink, picture(), kSide, kSide);
    benchmark::DoNotOptimize(sink.bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void ReadEmblem_AsTheProductCallsIt(benchmark::State& state) {
  const std::vector<uint8_t> bytes = zwp::encodeEmblem(picture());
  for (auto _ : state) {
    zwp::MemoryReader file(bytes);
    benchmark::DoNotOptimize(zwp::readEmblem(file));
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

QImage rgb32Picture() {
  QImage image(kSide, kSide, QImage::Format_RGB32);
  for (int y = 0; y < kSide; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kSide; ++x) {
      const uint32_t c = static_cast<uint32_t>(picture().at(x, y));
      line[x] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
  }
  return image;
}

void Yardstick_QImageToRgb16_QtThreads(benchmark::State& state) {
  const QImage image = rgb32Picture();
  for (auto _ : state) benchmark::DoNotOptimize(image.convertToFormat(QImage::Format_RGB16));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void Yardstick_QImageToRgb16_OneThread(benchmark::State& state) {
  const QImage image = rgb32Picture();
  const int before = QThreadPool::globalInstance()->maxThreadCount();
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  for (auto _ : state) benchmark::DoNotOptimize(image.convertToFormat(QImage::Format_RGB16));
  QThreadPool::globalInstance()->setMaxThreadCount(before);
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

BENCHMARK(WriteEmblem_AsTheProductCallsIt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Yardstick_QImageToRgb16_QtThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Yardstick_QImageToRgb16_OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadEmblem_AsTheProductCallsIt)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
