// JPEG through libjpeg, a strip of rows at a time, so that a photo of any
// size can be shrunk without ever being held whole. Exif orientation comes
// from the file; any warning (a cut file, corrupt data) refuses the file
// rather than showing a picture libjpeg had to make up.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>  // after <cstdio>: it needs size_t and FILE

#include "convert/orientation.h"
#include "convert/pipeline.h"
#include "core/error.h"
#include "formats/decoders.h"

namespace zwp {

namespace {

struct ErrorJump {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void onError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1); }
void onMessage(j_common_ptr info, int level) {
  if (level < 0) onError(info);  // a warning: the data is not what it should be
}

// A libjpeg decompressor reading from memory.
struct JpegReader {
  jpeg_decompress_struct info{};
  ErrorJump error{};

  explicit JpegReader(std::span<const uint8_t> file) {
    if (file.empty()) throw refused(Refusal::Damaged);  // libjpeg would fail here, with nowhere to go
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onError;
    error.manager.emit_message = onMessage;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
  }
  ~JpegReader() { jpeg_destroy_decompress(&info); }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
};

// What a decode keeps between strips.
struct Strips {
  bool cmyk = false;
  size_t width = 0;
  std::vector<uint8_t> rows;
  std::vector<JSAMPROW> pointers;
  std::vector<uint8_t> rgba;
};

bool readHeader(JpegReader& r) {
  if (setjmp(r.error.jump)) return false;
  jpeg_read_header(&r.info, TRUE);
  return true;
}

// Decodes every row into the sink; false when libjpeg found the file cut or
// damaged. Nothing with a destructor lives in this frame, so libjpeg may jump
// out of it.
bool readRows(JpegReader& r, Strips& s, RowSink& sink) {
  if (setjmp(r.error.jump)) return false;
  jpeg_read_header(&r.info, TRUE);
  // Adobe's CMYK and YCCK are turned into colours as Qt's reader turns them.
  s.cmyk = r.info.jpeg_color_space == JCS_CMYK || r.info.jpeg_color_space == JCS_YCCK;
  r.info.out_color_space = s.cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  r.info.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&r.info);
  s.width = r.info.output_width;
  const size_t strip = static_cast<size_t>(r.info.rec_outbuf_height);
  s.rows.resize(s.width * 4 * strip);
  s.pointers.resize(strip);
  for (size_t i = 0; i < strip; ++i) s.pointers[i] = s.rows.data() + s.width * 4 * i;
  if (s.cmyk) s.rgba.resize(s.rows.size());
  while (r.info.output_scanline < r.info.output_height) {
    const JDIMENSION got = jpeg_read_scanlines(&r.info, s.pointers.data(), static_cast<JDIMENSION>(strip));
    const uint8_t* rows = s.rows.data();
    if (s.cmyk) {
      for (size_t i = 0; i < s.width * got; ++i) {
        const uint8_t* p = &s.rows[4 * i];
        uint8_t* q = &s.rgba[4 * i];
        for (size_t k = 0; k < 3; ++k) q[k] = static_cast<uint8_t>(p[k] * p[3] / 255);
        q[3] = 255;
      }
      rows = s.rgba.data();
    }
    sink.addRows(rows, static_cast<int32_t>(got), s.width * 4, Alpha::Straight);
  }
  jpeg_finish_decompress(&r.info);
  return true;
}

class JpegDecoder final : public Decoder {
 public:
  PictureHeader header(std::span<const uint8_t> file) const override {
    JpegReader r(file);
    if (!readHeader(r)) throw refused(Refusal::Damaged);
    return {r.info.image_width, r.info.image_height, jpegOrientation(file)};
  }

  void decode(std::span<const uint8_t> file, RowSink& sink) const override {
    JpegReader r(file);
    Strips strips;
    if (!readRows(r, strips, sink)) throw refused(Refusal::Damaged);
  }
};

}  // namespace

std::shared_ptr<const Decoder> jpegDecoder() { return std::make_shared<JpegDecoder>(); }

}  // namespace zwp
