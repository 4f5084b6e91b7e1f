// The page module's C interface on arbitrary bytes, built natively: every
// call answers with one of its statuses, and what it answers Done for is an
// emblem or picture of the size it reports.
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
int zwp_emblem_from_file(const uint8_t* bytes, size_t size, const char* name, int32_t background, int32_t fit, int dither);
int zwp_original_from_file(const uint8_t* bytes, size_t size, const char* name, int32_t background);
int zwp_picture_from_emblem(const uint8_t* bytes, size_t size);
int32_t zwp_width();
int32_t zwp_height();
size_t zwp_emblem_size();
void zwp_release();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The last byte picks the call and its options; the rest is the file.
  const uint8_t pick = data[size - 1];
  --size;
  const char* name = (pick & 0x40) ? "x.tga" : "x.png";
  int status = 0;
  switch (pick % 3) {
    case 0: status = zwp_emblem_from_file(data, size, name, 0xFFFFFF, (pick >> 2) % 130, pick & 0x80); break;
    case 1: status = zwp_original_from_file(data, size, name, 0x123456); break;
    default: status = zwp_picture_from_emblem(data, size); break;
  }
  if (status != 0 && status != 1 && status != 3 && status != 4) std::abort();
  const auto pixels = static_cast<size_t>(zwp_width()) * static_cast<size_t>(zwp_height());
  if (status == 1 && pick % 3 == 0 && zwp_emblem_size() != 280 + 2 * pixels) std::abort();
  zwp_release();
  return 0;
}
