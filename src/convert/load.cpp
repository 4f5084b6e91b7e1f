#include "convert/load.h"

#include <cstdlib>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"

namespace zwp {

std::optional<LoadedBitmap> loadBitmapForPreview(const std::string& path) {
  if (!IsBitmap(path)) return std::nullopt;
  if (BitmapKind(path).find("keine") != std::string::npos) return std::nullopt;
  int32_t width = 0, height = 0;
  int16_t bitCount = 0;
  ReadBitmapInfo(path, width, height, bitCount);
  const int64_t rows = std::llabs(static_cast<int64_t>(height));
  if (width > kMaxBitmapSide || rows > kMaxBitmapSide) return std::nullopt;

  LoadedBitmap loaded;
  loaded.picture = loadBmpFile(path);
  loaded.width = loaded.picture.width;
  loaded.height = loaded.picture.height;
  return loaded;
}

std::optional<Emblem> loadEmblemForPreview(const std::string& path) { return readEmblemFile(path); }

}  // namespace zwp
