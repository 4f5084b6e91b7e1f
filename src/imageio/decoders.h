// The decoders only the native programs plug into the conversion pipeline:
// libtiff for the common TIFFs and Qt's reader for the rarer ones (JPEG and
// WebP come from formats/, shared with the page).
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> tiffDecoder();
// Qt's reader for one format ("tiff").
std::shared_ptr<const Decoder> qtDecoder(Format format, const char* qtFormat);

}  // namespace zwp
