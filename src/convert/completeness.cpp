#include "convert/completeness.h"

#include "core/byte_file.h"
#include "core/error.h"

namespace zwp {

namespace {

[[noreturn]] void cut() { throw refused(Refusal::Damaged); }

// Walks a TGA's pixel data, run-length packets included, to its last pixel.
void checkTga(std::span<const uint8_t> f) {
  if (f.size() < 18) cut();
  const uint8_t type = f[2];
  const size_t mapEntries = readLe16(&f[5]), mapBits = f[7];
  const size_t width = readLe16(&f[12]), height = readLe16(&f[14]);
  const size_t bytesPerPixel = (f[16] + 7u) / 8;
  size_t at = 18 + f[0] + (f[1] ? mapEntries * ((mapBits + 7) / 8) : 0);
  const size_t pixels = width * height;
  if (type < 8) {
    if (at + pixels * bytesPerPixel > f.size()) cut();
    return;
  }
  for (size_t done = 0; done < pixels;) {
    if (at >= f.size()) cut();
    const uint8_t packet = f[at++];
    const size_t count = (packet & 0x7Fu) + 1u;
    at += packet & 0x80 ? bytesPerPixel : count * bytesPerPixel;
    done += count;
  }
  if (at > f.size()) cut();
}

}  // namespace

void checkComplete(Format format, std::span<const uint8_t> file) {
  switch (format) {
    case Format::Tga: return checkTga(file);
    case Format::Webp:
      // The RIFF header names the length of everything that follows it.
      if (file.size() < 12 || size_t{readLe32(&file[4])} + 8 > file.size()) cut();
      return;
    default: return;
  }
}

}  // namespace zwp
