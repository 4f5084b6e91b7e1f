#include "convert/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "convert/pipeline.h"
#include "core/byte_cursor.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/picture.h"

namespace zwp {

namespace {

[[noreturn]] void damaged() { throw refused(Refusal::Damaged); }

// Passes over a chain of sub-blocks, up to and with its empty one.
void skipSubBlocks(ByteCursor& in) {
  while (const size_t length = in.u8()) in.skip(length);
}

// An interlaced frame is gathered (a byte a pixel) before its rows can go out
// in order; within this many pixels.
constexpr int64_t kMaxInterlacedPixels = int64_t{1} << 26;

struct Frame {
  unsigned left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<uint8_t> colours;  // RGB triples
  int transparent = -1;              // the index shown as transparent, if any
  unsigned codeSize = 0;
};

std::vector<uint8_t> copied(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// The first frame's descriptor and colours; the cursor stands at its LZW data.
Frame firstFrame(ByteCursor& in) {
  const uint8_t screen = in.take(13)[10];
  std::vector<uint8_t> global;
  if (screen & 0x80) global = copied(in.take(3 * (size_t{2} << (screen & 7))));
  Frame frame;
  for (;;) {
    const uint8_t block = in.u8();
    if (block == 0x21) {
      const uint8_t label = in.u8();
      if (label == 0xF9) {  // graphic control: the transparent index
        const size_t length = in.u8();
        if (length < 4) damaged();
        const std::span<const uint8_t> control = in.take(length);
        frame.transparent = control[0] & 1 ? control[3] : -1;
      }
      skipSubBlocks(in);
    } else if (block == 0x2C) {
      frame.left = in.le16();
      frame.top = in.le16();
      frame.width = in.le16();
      frame.height = in.le16();
      const uint8_t flags = in.u8();
      frame.interlaced = (flags & 0x40) != 0;
      frame.colours = flags & 0x80 ? copied(in.take(3 * (size_t{2} << (flags & 7)))) : global;
      frame.codeSize = in.u8();
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
  Lzw(ByteCursor& in, unsigned codeSize) : in_(in), clear_(1u << codeSize), minWidth_(codeSize + 1) { reset(); }

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
      if (at_ == block_.size()) {
        const size_t length = in_.u8();
        if (length == 0) damaged();  // the data ends before the last pixel
        const std::span<const uint8_t> block = in_.take(length);
        block_.assign(block.begin(), block.end());
        at_ = 0;
      }
      bits_ |= static_cast<uint32_t>(block_[at_++]) << bitCount_;
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

  ByteCursor& in_;
  const unsigned clear_, minWidth_;
  unsigned width_ = 0, free_ = 0;
  int previous_ = -1;
  uint8_t first_ = 0;
  uint32_t bits_ = 0;
  unsigned bitCount_ = 0;
  std::vector<uint8_t> block_;  // the sub-block being read
  size_t at_ = 0;
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
  PictureHeader header(ByteInput& file) const override {
    ByteCursor in(file);
    const std::span<const uint8_t> screen = in.take(13);
    if (std::memcmp(screen.data(), "GIF87a", 6) != 0 && std::memcmp(screen.data(), "GIF89a", 6) != 0) damaged();
    return {readLe16(&screen[6]), readLe16(&screen[8]), 1};
  }

  void decode(ByteInput& file, RowSink& sink) const override {
    const PictureHeader canvas = header(file);
    ByteCursor in(file);
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
    // The frame's row of colour indexes at canvas row y, on a transparent ground.
    auto frameRow = [&](size_t y, const uint8_t* indexes) {
      std::fill(row.begin(), row.end(), uint8_t{0});
      for (size_t x = 0; x < frameWidth && frame.left + x < width; ++x) {
        std::copy_n(&rgba[4 * indexes[x]], 4, &row[4 * (frame.left + x)]);
      }
      if (y < height) sink.addRows(row.data(), 1, row.size(), Alpha::Straight);
    };
    const size_t top = std::min<size_t>(frame.top, height);
    emptyRows(0, top);
    Lzw lzw(in, frame.codeSize);
    std::vector<uint8_t> indexes(frameWidth);
    if (!frame.interlaced) {
      for (unsigned r = 0; r < frameHeight; ++r) {
        for (uint8_t& index : indexes) index = lzw.next();
        frameRow(frame.top + r, indexes.data());
      }
    } else {
      // Four passes: every row's indexes first, then the rows in order.
      if (static_cast<int64_t>(frameWidth * frameHeight) > kMaxInterlacedPixels) {
        throw refused(Refusal::OutOfBounds, std::to_string(frameWidth) + " × " + std::to_string(frameHeight));
      }
      indexes.assign(frameWidth * frameHeight, 0);
      for (unsigned r = 0; r < frameHeight; ++r) {
        uint8_t* out = indexes.data() + interlacedRow(r, frame.height) * frameWidth;
        for (size_t x = 0; x < frameWidth; ++x) out[x] = lzw.next();
      }
      for (size_t r = 0; r < frameHeight; ++r) frameRow(frame.top + r, indexes.data() + r * frameWidth);
    }
    emptyRows(std::max(top, std::min<size_t>(frame.top + frameHeight, height)), height);
  }
};

}  // namespace

std::shared_ptr<const Decoder> gifDecoder() { return std::make_shared<GifDecoder>(); }

}  // namespace zwp
