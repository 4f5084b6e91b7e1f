// GIF, our own decoder, the same in zwpconv and in the browser page: the
// first frame on its canvas, as browsers show it (the canvas outside the
// frame transparent), decoded row by row; cut or damaged LZW data refused.
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> gifDecoder();

}  // namespace zwp
