// Whether a file of a format whose decoders show what they have of a cut
// file (TGA, WebP) holds its whole first picture. Checked before the
// decoder runs, so that a cut file is refused rather than shown in part.
#pragma once

#include <cstdint>
#include <span>

#include "convert/decoder.h"

namespace zwp {

// Error 481 when the file ends before its first picture does.
void checkComplete(Format format, std::span<const uint8_t> file);

}  // namespace zwp
