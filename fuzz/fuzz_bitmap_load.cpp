// The window's bitmap load on arbitrary bytes: the header probe from a real
// file, then our decoder. Accepted pictures have the size the probe saw.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/load.h"
#include "core/error.h"

namespace {
const std::string& scratchPath() {
  static const std::string path = "/tmp/zwp-fuzz-bitmap-" + std::to_string(::getpid()) + ".bmp";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(scratchPath().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    const auto loaded = zwp::loadBitmapForPreview(scratchPath());
    if (loaded && (loaded->width > zwp::kMaxBitmapSide || loaded->height > zwp::kMaxBitmapSide ||
                   loaded->picture.pixels.size() != static_cast<size_t>(loaded->width) * loaded->height)) {
      std::abort();
    }
  } catch (const zwp::Error& e) {
    if (e.number() != zwp::err::InvalidPicture) std::abort();  // the file itself is always readable here
  }
  return 0;
}
