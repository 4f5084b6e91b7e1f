// libpng as the yardstick for our own PNG decoder: every colour type and
// depth, transparency from tRNS exact, 16-bit channels narrowed by rounding
// v * 255 / 65535, nothing of a cut or damaged file ever shown.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/orientation.h"
#include "convert/pipeline.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "support/libpng_reference.h"

namespace zwp::test {

namespace {


// A libpng read struct and where a failure jumps to.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::span<const uint8_t> file;
  size_t at = 0;

  explicit PngReader(std::span<const uint8_t> bytes) : file(bytes) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &PngReader::onError, &PngReader::onWarning);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) throw std::bad_alloc();
    png_set_read_fn(png, this, &PngReader::onRead);
    // Nothing beyond what the picture bounds allow is ever allocated for a row.
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxFittedSide), static_cast<png_uint_32>(kMaxFittedSide));
  }
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  static void onRead(png_structp png, png_bytep out, size_t length) {
    auto* self = static_cast<PngReader*>(png_get_io_ptr(png));
    if (self->file.size() - self->at < length) png_error(png, "cut");
    std::memcpy(out, self->file.data() + self->at, length);
    self->at += length;
  }
  static void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
  static void onWarning(png_structp, png_const_charp) {}
};

// What a decode keeps between rows.
struct Rows {
  png_uint_32 width = 0, height = 0;
  bool sixteen = false;
  int passes = 1;
  size_t rowBytes = 0;
  std::vector<uint8_t> wide, narrow, whole;
  std::vector<png_bytep> pointers;
};

// Reads every row into the sink; false when libpng found the file damaged.
// Nothing with a destructor lives in this frame, so libpng may jump out of it.
bool readRows(PngReader& r, Rows& s, RowSink& rows) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_info(r.png, r.info);
  s.width = png_get_image_width(r.png, r.info);
  s.height = png_get_image_height(r.png, r.info);
  s.sixteen = png_get_bit_depth(r.png, r.info) == 16;
  png_set_expand(r.png);  // palette and low depths to 8 bits, tRNS to alpha
  png_set_gray_to_rgb(r.png);
  png_set_add_alpha(r.png, s.sixteen ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  s.passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  s.rowBytes = png_get_rowbytes(r.png, r.info);
  if (s.rowBytes != static_cast<size_t>(s.width) * (s.sixteen ? 8 : 4)) png_error(r.png, "row format");
  s.narrow.resize(static_cast<size_t>(s.width) * 4);
  if (s.passes > 1) {
    // Interlaced rows are only complete after the last pass: the whole
    // picture is held, within the bounds of one picture in memory.
    if (int64_t{s.width} * s.height > kMaxPicturePixels) png_error(r.png, "interlaced picture too large");
    s.whole.resize(s.rowBytes * s.height);
    s.pointers.resize(s.height);
    for (png_uint_32 y = 0; y < s.height; ++y) s.pointers[y] = s.whole.data() + s.rowBytes * y;
    png_read_image(r.png, s.pointers.data());
  } else {
    s.wide.resize(s.rowBytes);
  }
  for (png_uint_32 y = 0; y < s.height; ++y) {
    uint8_t* row = s.passes > 1 ? s.pointers[y] : s.wide.data();
    if (s.passes == 1) png_read_row(r.png, row, nullptr);
    if (s.sixteen) {
      for (size_t i = 0; i < s.narrow.size(); ++i) {
        const uint32_t v = readBe16(row + 2 * i);
        s.narrow[i] = static_cast<uint8_t>((v * 255 + 32767) / 65535);
      }
      row = s.narrow.data();
    }
    rows.addRows(row, 1, s.narrow.size(), Alpha::Straight);
  }
  return true;
}

class PngDecoder final : public Decoder {
 public:
  PictureHeader header(ByteInput& in) const override {
    const std::span<const uint8_t> f = in.head(sizeOf(in.size()));
    if (f.size() < 33 || std::memcmp(f.data() + 12, "IHDR", 4) != 0) throw invalidPicture("PNG-Kopf fehlt");
    PictureHeader h{readBe32(&f[16]), readBe32(&f[20]), 1};
    if (h.width == 0 || h.height == 0) throw invalidPicture("PNG ohne Bildpunkte");
    // An eXIf chunk before the pixel data may turn the picture.
    for (size_t at = 8; at + 12 <= f.size();) {
      const size_t length = readBe32(&f[at]);
      if (std::memcmp(&f[at + 4], "IDAT", 4) == 0 || length > f.size() - at - 12) break;
      if (std::memcmp(&f[at + 4], "eXIf", 4) == 0) h.orientation = tiffOrientation(f.subspan(at + 8, length));
      at += 12 + length;
    }
    return h;
  }

  void decode(ByteInput& in, RowSink& rows) const override {
    PngReader reader(in.head(sizeOf(in.size())));
    Rows state;
    if (!readRows(reader, state, rows)) throw refused(Refusal::Damaged);
  }
};

}  // namespace

std::shared_ptr<const Decoder> libpngReference() { return std::make_shared<PngDecoder>(); }

}  // namespace zwp::test
