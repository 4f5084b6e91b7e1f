// Decoding 128 x 128 BMP files of 8 and 24 bits per pixel with our decoder
// (read + decode) next to QImage::load on the same files.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bitmap/bmp_reader.h"
#include "bitmap/bmp_writer.h"

namespace {

// An 8-bit paletted file written by hand; the 24-bit one by our writer.
std::string makeFile(int bits) {
  const std::string path = (std::filesystem::temp_directory_path() / ("zwp-bench-" + std::to_string(bits) + ".bmp")).string();
  zwp::Picture pic(128, 128);
  for (size_t i = 0; i < pic.pixels().size(); ++i) pic.pixels()[i] = static_cast<int32_t>((i * 2654435761u) & 0xFFFFFF);
  std::vector<uint8_t> bytes;
  if (bits == 24) {
    bytes = zwp::encodeBmp24(pic);
  } else {
    bytes.assign(54 + 1024 + 128 * 128, 0);
    auto le32 = [&](size_t at, uint32_t v) { for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i)); };
    bytes[0] = 'B'; bytes[1] = 'M';
    le32(2, static_cast<uint32_t>(bytes.size())); le32(10, 54 + 1024); le32(14, 40);
    le32(18, 128); le32(22, 128); bytes[26] = 1; bytes[28] = 8;
    for (size_t i = 0; i < 1024; ++i) bytes[54 + i] = static_cast<uint8_t>(i * 37);
    for (size_t i = 0; i < 128 * 128; ++i) bytes[54 + 1024 + i] = static_cast<uint8_t>(i * 13);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void Ours(benchmark::State& state) {
  const std::string path = makeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(zwp::loadBmpFile(path));
  state.SetItemsProcessed(state.iterations());
  std::remove(path.c_str());
}

void QImageLoad(benchmark::State& state) {
  const std::string path = makeFile(static_cast<int>(state.range(0)));
  const QString qpath = QString::fromStdString(path);
  for (auto _ : state) {
    QImage image;
    benchmark::DoNotOptimize(image.load(qpath, "BMP"));
  }
  state.SetItemsProcessed(state.iterations());
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(Ours)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(QImageLoad)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
