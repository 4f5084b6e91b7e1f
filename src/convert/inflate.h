// Inflating a zlib stream (RFC 1950 around RFC 1951), our own so that the
// browser page and zwpconv read PNG data with the very same code. The input
// is pulled a piece at a time and the output pushed out through a 32 KiB
// window, so memory stays small whatever the stream expands to.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace zwp {

// The next piece of the stream; an empty span when there is no more.
using InflateSource = std::function<std::span<const uint8_t>()>;
// Takes inflated bytes; false once it wants no more.
using InflateSink = std::function<bool(std::span<const uint8_t>)>;

enum class InflateEnd {
  StreamEnd,  // the stream ended and its Adler-32 checksum was right
  Stopped,    // the sink wanted no more before the stream ended
};

// Inflates the stream into the sink; error 481 (damaged) when the stream is
// cut, malformed or its checksum is wrong.
InflateEnd inflateZlib(const InflateSource& source, const InflateSink& sink);

}  // namespace zwp
