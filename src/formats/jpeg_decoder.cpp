// JPEG through libjpeg, a strip of rows at a time, so that a photo of any
// size can be shrunk without ever being held whole, nor its file. Exif orientation comes
// from the file; any warning (a cut file, corrupt data) refuses the file
// rather than showing a picture libjpeg had to make up.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>  // after <cstdio>: it needs size_t and FILE
#include <jerror.h>

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

// Read at a time.
constexpr size_t kPiece = 64 * 1024;

// libjpeg's source, reading the input a piece at a time. A failure to read
// ends the decode as libjpeg's own errors do, and is raised after it.
struct Source {
  jpeg_source_mgr manager{};  // first: libjpeg's callbacks get a pointer to it
  ByteInput* input = nullptr;
  uint64_t next = 0;  // where the next piece starts
  HeldFailure failure;

  static Source& of(j_decompress_ptr info) { return *reinterpret_cast<Source*>(info->src); }
  static void nothing(j_decompress_ptr) {}
  static boolean fill(j_decompress_ptr info) {
    Source& s = of(info);
    const uint64_t left = s.input->size() - std::min(s.next, s.input->size());
    const size_t n = sizeOf(std::min<uint64_t>(kPiece, left));
    const std::span<const uint8_t> piece =
        s.failure.hold([&] { return s.input->at(s.next, n); }, std::span<const uint8_t>());
    if (piece.size() != n || n == 0) {  // cut, or unreadable
      info->err->msg_code = JERR_INPUT_EOF;
      info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    s.next += n;
    s.manager.next_input_byte = piece.data();
    s.manager.bytes_in_buffer = n;
    return TRUE;
  }
  static void skip(j_decompress_ptr info, long count) {
    Source& s = of(info);
    if (count <= 0) return;
    const auto n = static_cast<size_t>(count);
    if (n <= s.manager.bytes_in_buffer) {
      s.manager.next_input_byte += n;
      s.manager.bytes_in_buffer -= n;
      return;
    }
    s.next += n - s.manager.bytes_in_buffer;
    s.manager.bytes_in_buffer = 0;
  }
};

// A libjpeg decompressor reading the input.
struct JpegReader {
  jpeg_decompress_struct info{};
  ErrorJump error{};
  Source source;

  explicit JpegReader(ByteInput& file) {
    if (file.size() == 0) throw refused(Refusal::Damaged);  // libjpeg would fail here, with nowhere to go
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onError;
    error.manager.emit_message = onMessage;
    jpeg_create_decompress(&info);
    source.input = &file;
    source.manager.init_source = &Source::nothing;
    source.manager.fill_input_buffer = &Source::fill;
    source.manager.skip_input_data = &Source::skip;
    source.manager.resync_to_restart = &jpeg_resync_to_restart;
    source.manager.term_source = &Source::nothing;
    info.src = &source.manager;
  }
  ~JpegReader() { jpeg_destroy_decompress(&info); }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  // Error 481, or the read failure that ended the decode.
  [[noreturn]] void fail() const {
    source.failure.raise();
    throw refused(Refusal::Damaged);
  }
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
  PictureHeader header(ByteInput& file) const override {
    JpegReader r(file);
    if (!readHeader(r)) r.fail();
    return {r.info.image_width, r.info.image_height, jpegOrientation(file)};
  }

  void decode(ByteInput& file, RowSink& sink) const override {
    JpegReader r(file);
    Strips strips;
    if (!readRows(r, strips, sink)) r.fail();
  }
};

}  // namespace

std::shared_ptr<const Decoder> jpegDecoder() { return std::make_shared<JpegDecoder>(); }

}  // namespace zwp
