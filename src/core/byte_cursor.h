// Reading a file held in memory front to back, every read checked against its
// end: a read past the end refuses the file as cut (error 481), and no read
// ever touches a byte beyond it, whatever its header claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zwp {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const uint8_t> bytes, size_t at = 0) : bytes_(bytes) { seek(at); }

  size_t at() const { return at_; }
  size_t left() const { return bytes_.size() - at_; }
  // Moves to a place in the file; past its end is a cut file.
  void seek(size_t at);
  void skip(size_t count) { take(count); }
  // The next count bytes, which must all be there.
  std::span<const uint8_t> take(size_t count);
  uint8_t u8() { return take(1)[0]; }
  uint16_t le16();
  uint32_t le32();

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

}  // namespace zwp
