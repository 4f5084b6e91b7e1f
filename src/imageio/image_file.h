// Writing pictures as PNG files and naming colours, through QtGui.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture.h"

namespace zwp {

// The picture as a PNG file: 8 bits per channel, the colours exactly as they
// are, no colour space or gamma information.
std::vector<uint8_t> encodePng(const Picture& picture);

// A colour given as "#RRGGBB" or by a name Qt knows ("white", "steelblue");
// false when it is neither.
bool parseColour(const std::string& text, int32_t& colour);

}  // namespace zwp
