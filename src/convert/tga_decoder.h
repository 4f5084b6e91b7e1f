// Our own TGA reader, plugged in like any other (see decoder.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "convert/decoder.h"

namespace zwp {

std::shared_ptr<const Decoder> tgaDecoder();
// Whether the first bytes could be a TGA header (TGA has no magic; the name
// says the rest).
bool looksLikeTga(std::span<const uint8_t> file);
// Error 481 when the file ends before its last pixel.
void checkTgaComplete(ByteInput& file);

}  // namespace zwp
