// Whether a file holds its whole first picture, for the formats where that
// can be told without decoding: WebP (checked before libwebp runs, which
// would show what it has of a cut file) and TGA (the walk its own reader takes).
#pragma once

#include <cstdint>
#include <span>

#include "convert/decoder.h"

namespace zwp {

// Error 481 when the file ends before its first picture does.
void checkComplete(Format format, ByteInput& file);

}  // namespace zwp
