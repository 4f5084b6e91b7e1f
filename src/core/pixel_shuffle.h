// Pixels rearranged byte by byte, four at a time: one SSSE3 byte shuffle
// (every x86-64 processor of the last fifteen years, asked at run time)
// turns 16 loaded bytes into the 16 stored ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zwp {

// Which loaded byte each stored byte is (-1: zero), for four pixels.
using ByteOrder = std::array<int8_t, 16>;

// Rearranges pixels of fromStep bytes into pixels of toStep bytes, four at a
// time while sixteen bytes can be loaded and stored inside both rows. Returns
// how many pixels are done (none without the shuffle); the caller does the rest.
size_t shufflePixels(const uint8_t* from, size_t fromStep, uint8_t* to, size_t toStep, size_t count,
                     const ByteOrder& order);

}  // namespace zwp
