// Reading an emblem from arbitrary bytes: refused or a picture of exactly the
// announced size, never a crash or an allocation sized by a hostile header.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/emblem_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto emblem = zwp::decodeEmblem(std::span<const uint8_t>(data, size));
  if (!emblem) return 0;
  const auto& p = emblem->picture;
  if (p.width() != emblem->header.Width || p.height() != emblem->header.Height ||
      p.pixels().size() != static_cast<size_t>(p.width()) * static_cast<size_t>(p.height())) {
    std::abort();
  }
  return 0;
}
