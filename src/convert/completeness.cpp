#include "convert/completeness.h"

#include "convert/tga_decoder.h"
#include "core/byte_cursor.h"

namespace zwp {

void checkComplete(Format format, ByteInput& file) {
  switch (format) {
    case Format::Tga: return checkTgaComplete(file);
    case Format::Webp: {
      // The RIFF header names the length of everything after its first eight bytes.
      ByteCursor riff(file, 4);
      const uint64_t rest = riff.le32();
      riff.seek(8 + rest);
      return;
    }
    default: return;
  }
}

}  // namespace zwp
