// The one pipeline on arbitrary bytes, with every decoder plugged in as the
// programs plug them in: reading under every combination of options, and the
// header-only description of --info. Refusals are error 481; what is accepted
// has the size the options promise.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <span>

#include "convert/pipeline.h"
#include "core/error.h"
#include "imageio/image_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const zwp::ImageSupport images;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The last byte picks the options; the bytes are the file as they stand.
  const uint8_t pick = data[size - 1];
  zwp::ReadOptions options;
  options.target = static_cast<zwp::Target>(pick % 3);
  options.fit = (pick & 0x04) ? 1 + (pick >> 3) % 128 : 0;
  options.dither = (pick & 0x08) != 0;
  const bool emblem = (pick & 0x80) != 0 && (pick & 0x40) != 0;
  const zwp::PictureFile file{{data, size}, (pick & 0x40) ? "x.tga" : "x.png", emblem};
  try {
    (void)zwp::describePicture(file);
  } catch (const zwp::Error& e) {
    if (e.number() != zwp::err::InvalidPicture) std::abort();
  }
  try {
    const zwp::Picture p = zwp::readPicture(file, options);
    const int32_t side = options.fit > 0 ? options.fit : options.target == zwp::Target::Emblem ? zwp::kMaxBitmapSide : 0;
    if (side > 0 && (p.width() > side || p.height() > side)) std::abort();
  } catch (const zwp::Error& e) {
    if (e.number() != zwp::err::InvalidPicture) std::abort();  // bytes in memory can only be a bad picture
  } catch (const std::bad_alloc&) {
    std::abort();  // every size is checked before memory is sized for it
  }
  return 0;
}
