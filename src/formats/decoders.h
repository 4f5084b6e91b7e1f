// Decoders over the C libraries zwpconv and the browser page share (the
// page compiles the same release's sources): libjpeg-turbo for JPEG and
// libwebp for WebP. No Qt here.
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> jpegDecoder();
std::shared_ptr<const Decoder> webpDecoder();

}  // namespace zwp
