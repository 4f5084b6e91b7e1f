// Writes pictures as 24-bit Windows BMP files: 40-byte information header,
// rows bottom-up, each padded with zero bytes to a multiple of four.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file_writer.h"
#include "core/picture.h"

namespace zwp {

std::vector<uint8_t> encodeBmp24(const Picture& picture);

// Writes a new file at path (see FileWriter for how it appears).
void writeBmp24File(const std::string& path, IfExists ifExists, const Picture& picture);

}  // namespace zwp
