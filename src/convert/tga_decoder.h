// Our own TGA decoder, plugged in like any other (see decoder.h).
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> tgaDecoder();

}  // namespace zwp
