#include "convert/load.h"

#include <cstdlib>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"

namespace zwp {

std::string refusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::None: return "";
    case Refusal::NotBitmap: return "keine BMP-Datei";
    case Refusal::UnsupportedDepth: return "Farbtiefe wird nicht unterstützt (nur 1, 4, 8, 16 oder 24 Bit)";
    case Refusal::TooLarge: return "größer als 128 × 128 Pixel";
    case Refusal::UnusableEmblem: return "unbrauchbare Größe im Wappen-Kopf";
  }
  return "";
}

namespace {
template <typename T>
std::optional<T> refuse(Refusal refusal, Refusal* why) {
  if (why) *why = refusal;
  return std::nullopt;
}
}  // namespace

std::optional<LoadedBitmap> loadBitmapForPreview(const std::string& path, Refusal* why) {
  if (why) *why = Refusal::None;
  if (!IsBitmap(path)) return refuse<LoadedBitmap>(Refusal::NotBitmap, why);
  if (BitmapKind(path).find("keine") != std::string::npos) return refuse<LoadedBitmap>(Refusal::UnsupportedDepth, why);
  int32_t width = 0, height = 0;
  int16_t bitCount = 0;
  ReadBitmapInfo(path, width, height, bitCount);
  const int64_t rows = std::llabs(static_cast<int64_t>(height));
  if (width > kMaxBitmapSide || rows > kMaxBitmapSide) return refuse<LoadedBitmap>(Refusal::TooLarge, why);

  LoadedBitmap loaded;
  loaded.picture = loadBmpFile(path);
  loaded.width = loaded.picture.width;
  loaded.height = loaded.picture.height;
  return loaded;
}

std::optional<Emblem> loadEmblemForPreview(const std::string& path, Refusal* why) {
  if (why) *why = Refusal::None;
  auto emblem = readEmblemFile(path);
  if (!emblem) return refuse<Emblem>(Refusal::UnusableEmblem, why);
  return emblem;
}

}  // namespace zwp
