#include "core/byte_cursor.h"

#include "core/byte_file.h"
#include "core/error.h"

namespace zwp {

void ByteCursor::seek(uint64_t at) {
  if (at > input_.size()) throw refused(Refusal::Damaged);
  at_ = at;
}

void ByteCursor::skip(uint64_t count) {
  if (count > left()) throw refused(Refusal::Damaged);
  at_ += count;
}

std::span<const uint8_t> ByteCursor::take(size_t count) {
  const std::span<const uint8_t> taken = input_.at(at_, count);
  at_ += count;
  return taken;
}

uint16_t ByteCursor::le16() { return readLe16(take(2).data()); }
uint32_t ByteCursor::le32() { return readLe32(take(4).data()); }

}  // namespace zwp
