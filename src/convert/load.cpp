#include "convert/load.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "core/byte_file.h"
#include "core/error.h"

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

// The checks on the header's fields, before any pixel is decoded.
Refusal refusalOf(const BitmapProbe& probe) {
  if (!probe.isBitmap) return Refusal::NotBitmap;
  if (bitmapKindFor(probe.bitCount).find("keine") != std::string::npos) return Refusal::UnsupportedDepth;
  const int64_t rows = std::llabs(static_cast<int64_t>(probe.height));
  if (probe.width > kMaxBitmapSide || rows > kMaxBitmapSide) return Refusal::TooLarge;
  return Refusal::None;
}

std::optional<LoadedBitmap> decodeAccepted(std::span<const uint8_t> file, Refusal* why) {
  LoadedBitmap loaded;
  loaded.picture = decodeBmp(file);
  if (loaded.picture.width() > kMaxBitmapSide || loaded.picture.height() > kMaxBitmapSide) {
    return refuse<LoadedBitmap>(Refusal::TooLarge, why);
  }
  loaded.width = loaded.picture.width();
  loaded.height = loaded.picture.height();
  return loaded;
}

}  // namespace

std::optional<LoadedBitmap> loadBitmapForPreview(const std::string& path, Refusal* why) {
  if (why) *why = Refusal::None;
  FileReader file(path);
  std::vector<uint8_t> bytes;
  readRest(file, bytes, kProbeBytes);
  const Refusal refusal = refusalOf(probeBitmap(bytes));
  if (refusal != Refusal::None) return refuse<LoadedBitmap>(refusal, why);
  readRest(file, bytes, kMaxBmpFileBytes);
  return decodeAccepted(bytes, why);
}

std::optional<LoadedBitmap> loadBitmapForPreview(std::span<const uint8_t> file, Refusal* why) {
  if (why) *why = Refusal::None;
  const Refusal refusal = refusalOf(probeBitmap(file));
  if (refusal != Refusal::None) return refuse<LoadedBitmap>(refusal, why);
  return decodeAccepted(file, why);
}

BitmapDescription describeBitmap(std::span<const uint8_t> file) {
  const BitmapProbe probe = probeBitmap(file);
  BitmapDescription d;
  d.width = probe.width;
  d.height = static_cast<int32_t>(std::min<int64_t>(std::llabs(static_cast<int64_t>(probe.height)), INT32_MAX));
  d.bitCount = probe.bitCount;
  const Refusal refusal = refusalOf(probe);
  try {
    const BmpInfo info = readBmpInfo(file);
    d.width = info.width;
    d.height = info.height;
    d.bitCount = static_cast<int16_t>(info.bitCount);
    // The window reads the size at the offsets of the usual headers, where an
    // OS/2 1.x header keeps other fields.
    if (info.os2Core) d.refusal = "Kopf im OS/2-1.x-Format, den das Fenster nicht liest";
  } catch (const Error& e) {
    if (refusal == Refusal::None) d.refusal = e.description();
  }
  if (refusal != Refusal::None && d.refusal.empty()) d.refusal = refusalText(refusal);
  return d;
}

std::optional<Emblem> loadEmblemForPreview(const std::string& path, Refusal* why) {
  if (why) *why = Refusal::None;
  auto emblem = readEmblemFile(path);
  if (!emblem) return refuse<Emblem>(Refusal::UnusableEmblem, why);
  return emblem;
}

}  // namespace zwp
