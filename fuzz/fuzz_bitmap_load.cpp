// The window's bitmap load on arbitrary bytes: the header checks, then our
// decoder, on one reading of the bytes. Accepted pictures are within the limit.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "convert/load.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const auto loaded = zwp::loadBitmapForPreview(std::span<const uint8_t>(data, size));
    if (loaded && (loaded->width > zwp::kMaxBitmapSide || loaded->height > zwp::kMaxBitmapSide ||
                   loaded->picture.pixels().size() != static_cast<size_t>(loaded->width) * static_cast<size_t>(loaded->height))) {
      std::abort();
    }
  } catch (const zwp::Error& e) {
    if (e.number() != zwp::err::InvalidPicture) std::abort();  // bytes in memory can only be a bad picture
  }
  return 0;
}
