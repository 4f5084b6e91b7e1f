// libpng as the yardstick our own PNG decoder is compared with.
#pragma once

#include <memory>

#include "convert/decoder.h"

namespace zwp::test {

std::shared_ptr<const Decoder> libpngReference();

}  // namespace zwp::test
