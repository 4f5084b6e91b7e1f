// One of our own readers alone on arbitrary bytes, without the pipeline's
// checks in front of it, built once per reader (ZWP_FUZZ_READER): a reader
// must refuse what it cannot read with error 481, never read past the bytes
// it was given, never size memory before it has checked what it sizes it by,
// and deliver every row of a picture it accepts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "bitmap/bmp_reader.h"
#include "convert/completeness.h"
#include "convert/decoder.h"
#include "convert/pipeline.h"
#include "core/error.h"

namespace {

enum class Reader { Png, Gif, Tga, Bmp, Completeness };
constexpr Reader kReader = Reader::ZWP_FUZZ_READER;

// Hands out every read in a buffer of its own, freed at the next read, as a
// file's window is replaced when a reader moves on: a reader that keeps
// bytes past its next read shows as a use after free.
class FreshInput final : public zwp::ByteInput {
 public:
  explicit FreshInput(std::span<const uint8_t> bytes) : bytes_(bytes) { size_ = bytes.size(); }
  std::span<const uint8_t> at(uint64_t offset, size_t count) override {
    if (offset > size_ || count > size_ - offset) throw zwp::refused(zwp::Refusal::Damaged);
    last_ = std::make_unique<uint8_t[]>(count);
    if (count > 0) std::memcpy(last_.get(), bytes_.data() + offset, count);
    return {last_.get(), count};
  }
  size_t copy(uint64_t offset, uint8_t* dst, size_t count) override { return zwp::MemoryInput(bytes_).copy(offset, dst, count); }

 private:
  std::span<const uint8_t> bytes_;
  std::unique_ptr<uint8_t[]> last_;
};

// Reads every byte of every row it is given, so that a row shorter than its
// width shows as an over-read.
class CheckingSink final : public zwp::RowSink {
 public:
  explicit CheckingSink(int64_t width) : width_(static_cast<size_t>(width)) {}
  void addRows(const uint8_t* rgba, int32_t rows, size_t stride, zwp::Alpha) override {
    if (stride < width_ * 4) std::abort();
    for (int32_t y = 0; y < rows; ++y) {
      for (size_t i = 0; i < width_ * 4; ++i) sum_ += rgba[static_cast<size_t>(y) * stride + i];
    }
    rows_ += rows;
  }
  int64_t rows() const { return rows_; }

 private:
  size_t width_;
  int64_t rows_ = 0;
  unsigned sum_ = 0;
};

void decode(zwp::Format format, zwp::ByteInput& bytes) {
  const zwp::Decoder& decoder = *zwp::decoderFor(format);
  const zwp::PictureHeader header = decoder.header(bytes);
  // What no strip can hold, the pipeline refuses from the header before a pixel is read.
  if (header.width <= 0 || header.height <= 0 || header.width > zwp::kMaxFittedSide ||
      header.height > zwp::kMaxFittedSide || header.width * header.height > zwp::kMaxFittedPixels) {
    return;
  }
  CheckingSink sink(header.width);
  decoder.decode(bytes, sink);
  if (sink.rows() != header.height) std::abort();  // accepted, so every row came
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FreshInput bytes({data, size});
  try {
    switch (kReader) {
      case Reader::Png: decode(zwp::Format::Png, bytes); break;
      case Reader::Gif: decode(zwp::Format::Gif, bytes); break;
      case Reader::Tga: decode(zwp::Format::Tga, bytes); break;
      case Reader::Bmp: {
        const zwp::BmpInfo info = zwp::readBmpInfo(bytes);
        const zwp::Picture picture = zwp::decodeBmp(bytes);
        if (picture.width() != info.width || picture.height() != info.height) std::abort();
        break;
      }
      case Reader::Completeness:
        // A TGA that is whole decodes without running out of bytes.
        zwp::checkComplete(zwp::Format::Webp, bytes);
        zwp::checkComplete(zwp::Format::Tga, bytes);
        decode(zwp::Format::Tga, bytes);
        break;
    }
  } catch (const zwp::Error& e) {
    if (e.number() != zwp::err::InvalidPicture) std::abort();
  } catch (const std::bad_alloc&) {
    std::abort();  // every size is checked before memory is sized for it
  }
  return 0;
}
