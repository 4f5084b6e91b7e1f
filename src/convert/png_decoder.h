// PNG, our own decoder, the same in zwpconv and in the browser page: chunks
// checked, data inflated by our own inflater and turned into rows as it
// comes, so a PNG of any size is read in little memory. Samples become 8-bit
// RGBA: low depths replicated, 16 bits rounded v * 255 / 65535, tRNS as
// exact alpha; interlaced pictures are gathered whole.
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> pngDecoder();

}  // namespace zwp
