// The decoders this program plugs into the conversion pipeline: libjpeg for
// JPEG, libtiff for the common TIFFs, Qt's readers for WebP and the rarer
// TIFFs, each asked only for the format it was chosen for.
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> jpegDecoder();
std::shared_ptr<const Decoder> tiffDecoder();
// Qt's reader for one format ("webp", "tiff").
std::shared_ptr<const Decoder> qtDecoder(Format format, const char* qtFormat);

}  // namespace zwp
