// Writes pictures as 24-bit Windows BMP files: 40-byte information header,
// rows bottom-up, each padded with zero bytes to a multiple of four.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture.h"

namespace zwp {

std::vector<uint8_t> encodeBmp24(const Picture& picture);

// Replaces the file at path only once the new file is complete.
void writeBmp24File(const std::string& path, const Picture& picture);

}  // namespace zwp
