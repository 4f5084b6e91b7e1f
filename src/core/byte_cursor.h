// Reading an input front to back, every read checked against its end: a read
// past the end refuses the file as cut (error 481), and no read ever touches
// a byte beyond it, whatever its header claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/byte_input.h"

namespace zwp {

class ByteCursor {
 public:
  explicit ByteCursor(ByteInput& input, uint64_t at = 0) : input_(input) { seek(at); }

  uint64_t at() const { return at_; }
  uint64_t left() const { return input_.size() - at_; }
  // Moves to a place in the file; past its end is a cut file.
  void seek(uint64_t at);
  void skip(uint64_t count);
  // The next count bytes, which must all be there; valid until the next read.
  std::span<const uint8_t> take(size_t count);
  uint8_t u8() { return take(1)[0]; }
  uint16_t le16();
  uint32_t le32();

 private:
  ByteInput& input_;
  uint64_t at_ = 0;
};

}  // namespace zwp
