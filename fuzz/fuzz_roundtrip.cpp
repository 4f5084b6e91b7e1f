// Any accepted input survives the trip to an emblem and back with exactly its
// snapped colours, and the trip through our 24-bit BMP writer unchanged.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "bitmap/bmp_reader.h"
#include "bitmap/bmp_writer.h"
#include "codec/emblem_file.h"
#include "codec/pixel_codec.h"
#include "core/error.h"

namespace {
std::optional<zwp::Picture> accepted(std::span<const uint8_t> bytes) {
  // The first byte picks how the rest is read: as a BMP or as an emblem.
  if (bytes.empty()) return std::nullopt;
  const auto rest = bytes.subspan(1);
  if (bytes[0] & 1) {
    const auto emblem = zwp::decodeEmblem(rest);
    if (!emblem) return std::nullopt;
    return emblem->picture;
  }
  try {
    return zwp::decodeBmp(rest);
  } catch (const zwp::Error&) {
    return std::nullopt;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto picture = accepted(std::span<const uint8_t>(data, size));
  if (!picture) return 0;

  const auto emblem = zwp::decodeEmblem(zwp::encodeEmblem(*picture));
  if (!emblem || emblem->picture.width() != picture->width() || emblem->picture.height() != picture->height()) std::abort();
  for (size_t i = 0; i < picture->pixels().size(); ++i) {
    const zwp::SnappedPixel s = zwp::snapPixel(picture->pixels()[i]);
    if (emblem->picture.pixels()[i] != zwp::colourOf(s.red, s.green, s.blue)) std::abort();
  }
  if (zwp::decodeBmp(zwp::encodeBmp24(*picture)) != *picture) std::abort();
  return 0;
}
