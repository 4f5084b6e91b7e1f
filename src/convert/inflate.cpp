#include "convert/inflate.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cstring>
#include <vector>

#include "core/error.h"

namespace zwp {

namespace {

[[noreturn]] void damaged() { throw refused(Refusal::Damaged); }

constexpr int kMaxBits = 15;
constexpr int kFastBits = 10;  // codes this short are found with one look-up

// A canonical Huffman code: a table for the short codes and, for the rare
// longer ones, the counts and symbols to walk the code bit by bit.
struct Huffman {
  uint16_t fast[1 << kFastBits] = {};  // symbol << 4 | length; 0 for a longer code
  uint16_t count[kMaxBits + 1] = {};
  uint16_t symbol[288] = {};

  // From the code lengths of the symbols (0: unused). A set of lengths that
  // is over-subscribed, or incomplete beyond a lone one-bit code of
  // literals or distances, is damaged, as zlib judges it; an empty set only
  // for distances.
  enum Kind { CodeLengths, Literals, Distances };
  void build(const uint8_t* lengths, int n, Kind kind) {
    std::fill(std::begin(count), std::end(count), uint16_t{0});
    std::fill(std::begin(fast), std::end(fast), uint16_t{0});
    for (int s = 0; s < n; ++s) ++count[lengths[s]];
    count[0] = 0;
    int left = 1, longest = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      left = (left << 1) - count[len];
      if (left < 0) damaged();
      if (count[len]) longest = len;
    }
    if (longest == 0 && kind != Distances) damaged();
    if (left > 0 && longest > 0 && (kind == CodeLengths || longest > 1)) damaged();
    uint16_t offset[kMaxBits + 2] = {}, next[kMaxBits + 2] = {};
    for (int len = 1; len <= kMaxBits; ++len) offset[len + 1] = static_cast<uint16_t>(offset[len] + count[len]);
    int code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code = (code + count[len - 1]) << 1;
      next[len] = static_cast<uint16_t>(code);
    }
    for (int s = 0; s < n; ++s) {
      const int len = lengths[s];
      if (len == 0) continue;
      symbol[offset[len]++] = static_cast<uint16_t>(s);
      if (len > kFastBits) continue;
      int reversed = 0;
      for (int c = next[len]++, k = 0; k < len; ++k) reversed |= ((c >> k) & 1) << (len - 1 - k);
      for (int i = reversed; i < (1 << kFastBits); i += 1 << len) fast[i] = static_cast<uint16_t>(s << 4 | len);
    }
  }
};

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                                    33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint8_t, 19> kLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

constexpr size_t kWindow = 32768;
constexpr size_t kFlushAt = 2 * kWindow;

class Inflater {
 public:
  Inflater(const InflateSource& source, const InflateSink& sink) : source_(source), sink_(sink), out_(kFlushAt + 258) {}

  InflateEnd run() {
    const unsigned cmf = bits(8), flg = bits(8);
    if ((cmf & 15) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20)) damaged();
    for (bool last = false; !last;) {
      last = bits(1) != 0;
      const unsigned type = bits(2);
      const bool more = type == 0 ? stored() : type == 1 ? fixedBlock() : type == 2 ? dynamicBlock() : (damaged(), false);
      if (!more) return InflateEnd::Stopped;
    }
    if (!flush()) return InflateEnd::Stopped;
    drop(count_ % 8);
    uint32_t stored = 0;
    for (int k = 0; k < 4; ++k) stored = stored << 8 | bits(8);
    if (stored != (b_ << 16 | a_)) damaged();
    return InflateEnd::StreamEnd;
  }

 private:
  // Tops the bit buffer up to at least `n` bits where the stream has them.
  void fill(int n) {
    while (count_ < n) {
      if (at_ == piece_.size()) {
        if (ended_) return;
        piece_ = source_();
        at_ = 0;
        if (piece_.empty()) {
          ended_ = true;
          return;
        }
      }
      buffer_ |= uint64_t{piece_[at_++]} << count_;
      count_ += 8;
    }
  }
  void drop(int n) {
    buffer_ >>= n;
    count_ -= n;
  }
  unsigned bits(int n) {
    fill(n);
    if (count_ < n) damaged();
    const auto v = static_cast<unsigned>(buffer_ & ((uint64_t{1} << n) - 1));
    drop(n);
    return v;
  }

  int decode(const Huffman& h) {
    fill(48);
    const uint16_t e = h.fast[buffer_ & ((1u << kFastBits) - 1)];
    if (e) {
      if ((e & 15) > count_) damaged();
      drop(e & 15);
      return e >> 4;
    }
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits && len <= count_; ++len) {
      code |= static_cast<int>((buffer_ >> (len - 1)) & 1);
      const int n = h.count[len];
      if (code - first < n) {
        drop(len);
        return h.symbol[index + code - first];
      }
      index += n;
      first = (first + n) << 1;
      code <<= 1;
    }
    damaged();  // no code of the table, or the stream ends inside one
  }

  // Hands the window's new bytes to the sink and keeps the last 32 KiB for
  // copies; false once the sink wants no more.
  bool flush() {
    const std::span<const uint8_t> fresh(out_.data() + emitted_, pos_ - emitted_);
    checksum(fresh);
    if (!fresh.empty() && !sink_(fresh)) return false;
    if (pos_ > kWindow) {
      std::memmove(out_.data(), out_.data() + pos_ - kWindow, kWindow);
      pos_ = kWindow;
    }
    emitted_ = pos_;
    return true;
  }

  void checksum(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
      const size_t n = std::min<size_t>(bytes.size(), 5552);  // no overflow before the modulo
      for (size_t i = 0; i < n; ++i) {
        a_ += bytes[i];
        b_ += a_;
      }
      a_ %= 65521;
      b_ %= 65521;
      bytes = bytes.subspan(n);
    }
  }

  bool stored() {
    drop(count_ % 8);
    const unsigned length = bits(16), inverse = bits(16);
    if ((length ^ 0xFFFF) != inverse) damaged();
    for (unsigned i = 0; i < length; ++i) {
      out_[pos_++] = static_cast<uint8_t>(bits(8));
      ++total_;
      if (pos_ >= kFlushAt && !flush()) return false;
    }
    return true;
  }

  bool fixedBlock() {
    static const std::array<Huffman, 2> fixed = [] {
      std::array<uint8_t, 288> lengths{};
      for (size_t s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
      std::array<Huffman, 2> codes;
      codes[0].build(lengths.data(), 288, Huffman::Literals);
      lengths.fill(5);
      codes[1].build(lengths.data(), 32, Huffman::Distances);  // 30 and 31 are no distances
      return codes;
    }();
    return codes(fixed[0], fixed[1]);
  }

  bool dynamicBlock() {
    const int literals = static_cast<int>(bits(5)) + 257, distances = static_cast<int>(bits(5)) + 1;
    const int lengthCodes = static_cast<int>(bits(4)) + 4;
    if (literals > 286 || distances > 30) damaged();
    std::array<uint8_t, 19> order{};
    for (int i = 0; i < lengthCodes; ++i) order[kLengthOrder[static_cast<size_t>(i)]] = static_cast<uint8_t>(bits(3));
    Huffman lengthCode;
    lengthCode.build(order.data(), 19, Huffman::CodeLengths);
    std::array<uint8_t, 286 + 30> lengths{};
    for (int i = 0; i < literals + distances;) {
      const int symbol = decode(lengthCode);
      if (symbol < 16) {
        lengths[static_cast<size_t>(i++)] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t value = 0;
      int repeat = 0;
      if (symbol == 16) {
        if (i == 0) damaged();
        value = lengths[static_cast<size_t>(i - 1)];
        repeat = 3 + static_cast<int>(bits(2));
      } else {
        repeat = symbol == 17 ? 3 + static_cast<int>(bits(3)) : 11 + static_cast<int>(bits(7));
      }
      if (i + repeat > literals + distances) damaged();
      while (repeat--) lengths[static_cast<size_t>(i++)] = value;
    }
    if (lengths[256] == 0) damaged();  // no end of block
    Huffman literal, distance;
    literal.build(lengths.data(), literals, Huffman::Literals);
    distance.build(lengths.data() + literals, distances, Huffman::Distances);
    return codes(literal, distance);
  }

  // The symbols of one block, up to its end; false when the sink stopped.
  bool codes(const Huffman& literal, const Huffman& distance) {
    for (;;) {
      int symbol = decode(literal);
      if (symbol < 256) {
        out_[pos_++] = static_cast<uint8_t>(symbol);
        ++total_;
      } else if (symbol == 256) {
        return true;
      } else {
        symbol -= 257;
        if (symbol >= 29) damaged();
        const size_t length = kLengthBase[static_cast<size_t>(symbol)] + bits(kLengthExtra[static_cast<size_t>(symbol)]);
        const int d = decode(distance);
        if (d >= 30) damaged();
        const size_t back = kDistanceBase[static_cast<size_t>(d)] + bits(kDistanceExtra[static_cast<size_t>(d)]);
        if (back > total_) damaged();  // before the stream's first byte
        const uint8_t* from = out_.data() + pos_ - back;
        uint8_t* to = out_.data() + pos_;
        for (size_t i = 0; i < length; ++i) to[i] = from[i];  // may overlap: byte by byte
        pos_ += length;
        total_ += length;
      }
      if (pos_ >= kFlushAt && !flush()) return false;
    }
  }

  const InflateSource& source_;
  const InflateSink& sink_;
  std::span<const uint8_t> piece_;
  size_t at_ = 0;
  bool ended_ = false;
  uint64_t buffer_ = 0;
  int count_ = 0;
  std::vector<uint8_t> out_;
  size_t pos_ = 0, emitted_ = 0;
  uint64_t total_ = 0;
  uint32_t a_ = 1, b_ = 0;
};

}  // namespace

InflateEnd inflateZlib(const InflateSource& source, const InflateSink& sink) { return Inflater(source, sink).run(); }

}  // namespace zwp
