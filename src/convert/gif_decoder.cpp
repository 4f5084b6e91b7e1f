#include "convert/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "convert/pipeline.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/picture.h"

namespace zwp {

namespace {

[[noreturn]] void damaged() { throw refused(Refusal::Damaged); }

// Reads the file forward; every read past its end is a cut file.
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> f, size_t at = 0) : f_(f), at_(at) {}
  uint8_t byte() {
    if (at_ >= f_.size()) damaged();
    return f_[at_++];
  }
  unsigned le16() {
    const unsigned low = byte();
    return low | static_cast<unsigned>(byte()) << 8;
  }
  std::span<const uint8_t> take(size_t n) {
    if (n > f_.size() - at_) damaged();
    at_ += n;
    return f_.subspan(at_ - n, n);
  }
  // Passes over a chain of sub-blocks, up to and with its empty one.
  void skipSubBlocks() {
    while (const size_t length = byte()) take(length);
  }

 private:
  std::span<const uint8_t> f_;
  size_t at_;
};

struct Frame {
  unsigned left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::span<const uint8_t> colours;  // RGB triples
  int transparent = -1;              // the index shown as transparent, if any
  unsigned codeSize = 0;
};

// The first frame's descriptor and colours; the cursor stands at its LZW data.
Frame firstFrame(Cursor& in) {
  const std::span<const uint8_t> screen = in.take(13);
  std::span<const uint8_t> global;
  if (screen[10] & 0x80) global = in.take(3 * (size_t{2} << (screen[10] & 7)));
  Frame frame;
  for (;;) {
    const uint8_t block = in.byte();
    if (block == 0x21) {
      const uint8_t label = in.byte();
      if (label == 0xF9) {  // graphic control: the transparent index
        const size_t length = in.byte();
        if (length < 4) damaged();
        const std::span<const uint8_t> control = in.take(length);
        frame.transparent = control[0] & 1 ? control[3] : -1;
      }
      in.skipSubBlocks();
    } else if (block == 0x2C) {
      frame.left = in.le16();
      frame.top = in.le16();
      frame.width = in.le16();
      frame.height = in.le16();
      const uint8_t flags = in.byte();
      frame.interlaced = (flags & 0x40) != 0;
      frame.colours = flags & 0x80 ? in.take(3 * (size_t{2} << (flags & 7))) : global;
      frame.codeSize = in.byte();
      if (frame.colours.empty() || frame.codeSize < 1 || frame.codeSize > 8) damaged();
      return frame;
    } else {
      damaged();  // the trailer before any frame, or no block at all
    }
  }
}

// The frame's colour indexes, one at a time, from its LZW data.
class Lzw {
 public:
  Lzw(Cursor& in, unsigned codeSize) : in_(in), clear_(1u << codeSize), minWidth_(codeSize + 1) { reset(); }

  // The next index; error 481 when the data ends or breaks first.
  uint8_t next() {
    if (pending_ == 0) expand();
    return stack_[--pending_];
  }

 private:
  void reset() {
    width_ = minWidth_;
    free_ = clear_ + 2;
    previous_ = -1;
  }

  unsigned code() {
    while (bitCount_ < width_) {
      if (left_ == 0 && (left_ = in_.byte()) == 0) damaged();  // the data ends before the last pixel
      --left_;
      bits_ |= static_cast<uint32_t>(in_.byte()) << bitCount_;
      bitCount_ += 8;
    }
    const unsigned c = bits_ & ((1u << width_) - 1);
    bits_ >>= width_;
    bitCount_ -= width_;
    return c;
  }

  // Decodes one code's string onto the stack, last index first.
  void expand() {
    unsigned c = code();
    while (c == clear_) {
      reset();
      c = code();
    }
    if (c == clear_ + 1) damaged();  // the end before the last pixel
    if (c > free_ || (c == free_ && previous_ < 0)) damaged();
    unsigned walk = c;
    if (c == free_) {  // the string of the code before, and its own first index again
      stack_[pending_++] = first_;
      walk = static_cast<unsigned>(previous_);
    }
    while (walk > clear_) {
      stack_[pending_++] = suffix_[walk];
      walk = prefix_[walk];
    }
    if (walk >= clear_) damaged();
    first_ = static_cast<uint8_t>(walk);
    stack_[pending_++] = first_;
    if (previous_ >= 0 && free_ < 4096) {
      prefix_[free_] = static_cast<uint16_t>(previous_);
      suffix_[free_] = first_;
      if (++free_ == (1u << width_) && width_ < 12) ++width_;
    }
    previous_ = static_cast<int>(c);
  }

  Cursor& in_;
  const unsigned clear_, minWidth_;
  unsigned width_ = 0, free_ = 0;
  int previous_ = -1;
  uint8_t first_ = 0;
  uint32_t bits_ = 0;
  unsigned bitCount_ = 0, left_ = 0;
  std::array<uint16_t, 4096> prefix_{};
  std::array<uint8_t, 4096> suffix_{};
  std::array<uint8_t, 4097> stack_{};
  size_t pending_ = 0;
};

// Where interlaced row r of a frame of `height` rows belongs.
unsigned interlacedRow(unsigned r, unsigned height) {
  for (const auto& [start, step] : {std::pair{0u, 8u}, {4u, 8u}, {2u, 4u}, {1u, 2u}}) {
    const unsigned count = height > start ? (height - start + step - 1) / step : 0;
    if (r < count) return start + r * step;
    r -= count;
  }
  return r;
}

class GifDecoder final : public Decoder {
 public:
  PictureHeader header(std::span<const uint8_t> file) const override {
    Cursor in(file);
    const std::span<const uint8_t> screen = in.take(13);
    if (std::memcmp(screen.data(), "GIF87a", 6) != 0 && std::memcmp(screen.data(), "GIF89a", 6) != 0) damaged();
    return {readLe16(&screen[6]), readLe16(&screen[8]), 1};
  }

  void decode(std::span<const uint8_t> file, RowSink& sink) const override {
    const PictureHeader canvas = header(file);
    Cursor in(file);
    const Frame frame = firstFrame(in);
    const auto width = static_cast<size_t>(canvas.width), height = static_cast<size_t>(canvas.height);
    const size_t frameWidth = frame.width, frameHeight = frame.height;
    if (static_cast<int64_t>(frameWidth * frameHeight) > kMaxFittedPixels) {
      throw refused(Refusal::OutOfBounds, std::to_string(frameWidth) + " × " + std::to_string(frameHeight));
    }
    // Colour indexes beyond the table are black, as most viewers show them.
    std::array<uint8_t, 256 * 4> rgba{};
    for (size_t i = 0; i < 256; ++i) {
      if (3 * i < frame.colours.size()) std::copy_n(&frame.colours[3 * i], 3, &rgba[4 * i]);
      rgba[4 * i + 3] = static_cast<int>(i) == frame.transparent ? 0 : 255;
    }
    std::vector<uint8_t> row(width * 4);
    auto emptyRows = [&](size_t from, size_t to) {
      std::fill(row.begin(), row.end(), uint8_t{0});
      for (size_t y = from; y < to; ++y) sink.addRows(row.data(), 1, row.size(), Alpha::Straight);
    };
    // An interlaced frame comes in four passes and is gathered whole first.
    std::vector<uint8_t> whole;
    if (frame.interlaced) {
      checkPictureSize(static_cast<int64_t>(width), static_cast<int64_t>(height));
      whole.assign(width * height * 4, 0);
    }
    const size_t top = std::min<size_t>(frame.top, height);
    if (!frame.interlaced) emptyRows(0, top);
    Lzw lzw(in, frame.codeSize);
    for (unsigned r = 0; r < frameHeight; ++r) {
      const size_t y = frame.top + (frame.interlaced ? interlacedRow(r, frame.height) : r);
      uint8_t* out = frame.interlaced ? (y < height ? &whole[y * width * 4] : nullptr) : row.data();
      if (!frame.interlaced) std::fill(row.begin(), row.end(), uint8_t{0});
      for (size_t x = 0; x < frameWidth; ++x) {
        const uint8_t index = lzw.next();
        const size_t at = frame.left + x;
        if (out && at < width) std::copy_n(&rgba[4 * index], 4, out + 4 * at);
      }
      if (!frame.interlaced && y < height) sink.addRows(row.data(), 1, row.size(), Alpha::Straight);
    }
    if (frame.interlaced) {
      if (height) sink.addRows(whole.data(), static_cast<int32_t>(height), width * 4, Alpha::Straight);
    } else {
      emptyRows(std::max(top, std::min<size_t>(frame.top + frameHeight, height)), height);
    }
  }
};

}  // namespace

std::shared_ptr<const Decoder> gifDecoder() { return std::make_shared<GifDecoder>(); }

}  // namespace zwp
