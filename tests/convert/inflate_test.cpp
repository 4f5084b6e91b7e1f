// Our inflater against zlib: every kind of block zlib writes, windows far
// larger than one flush, input in pieces of any size; and the streams it
// must refuse.
#include "convert/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "support/expect_error.h"

namespace zwp {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes deflated(const Bytes& data, int level, int strategy) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Inflates `stream` handed over in pieces of `piece` bytes.
Bytes inflated(const Bytes& stream, size_t piece, InflateEnd* end = nullptr) {
  Bytes out;
  size_t at = 0;
  const InflateEnd e = inflateZlib(
      [&] {
        const size_t n = std::min(piece, stream.size() - at);
        at += n;
        return std::span(stream).subspan(at - n, n);
      },
      [&](std::span<const uint8_t> b) {
        out.insert(out.end(), b.begin(), b.end());
        return true;
      });
  if (end) *end = e;
  return out;
}

// Text-like data with long and short repeats and runs, then noise.
Bytes sample(size_t size) {
  std::mt19937 random(7);
  Bytes data;
  while (data.size() < size) {
    const auto kind = random() % 4;
    if (kind == 0 && data.size() > 40000) {
      const size_t from = data.size() - 1 - random() % 32768, length = 3 + random() % 300;
      for (size_t i = 0; i < length; ++i) data.push_back(data[from + i]);
    } else if (kind == 1) {
      data.insert(data.end(), 1 + random() % 600, static_cast<uint8_t>(random()));
    } else {
      for (size_t i = random() % 64; i > 0; --i) data.push_back(static_cast<uint8_t>('a' + random() % (kind == 2 ? 8 : 26)));
    }
  }
  data.resize(size);
  for (size_t i = 0; i < 5000; ++i) data.push_back(static_cast<uint8_t>(random()));
  return data;
}

TEST(Inflate, GivesWhatZlibDeflatedWhateverTheBlocksAndPieces) {
  const Bytes data = sample(400'000);
  const struct {
    int level, strategy;
  } kinds[] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_DEFAULT_STRATEGY}, {6, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY},
               {6, Z_FIXED}, {6, Z_HUFFMAN_ONLY}, {6, Z_RLE}};
  for (const auto& kind : kinds) {
    const Bytes stream = deflated(data, kind.level, kind.strategy);
    for (const size_t piece : {size_t{1}, size_t{4093}, stream.size()}) {
      InflateEnd end{};
      EXPECT_EQ(inflated(stream, piece, &end), data) << kind.level << "/" << kind.strategy << " in pieces of " << piece;
      EXPECT_EQ(end, InflateEnd::StreamEnd);
    }
  }
  EXPECT_TRUE(inflated(deflated({}, 6, Z_DEFAULT_STRATEGY), 1).empty());
}

TEST(Inflate, StopsWhenTheSinkHasEnough) {
  const Bytes stream = deflated(Bytes(1 << 20, 0), 9, Z_DEFAULT_STRATEGY);  // 1 MiB from about 1 KiB
  size_t seen = 0;
  const InflateEnd end = inflateZlib([&, given = false]() mutable { return std::exchange(given, true) ? std::span<const uint8_t>() : std::span(stream); },
                                     [&](std::span<const uint8_t> b) { return (seen += b.size()) < 100'000; });
  EXPECT_EQ(end, InflateEnd::Stopped);
  EXPECT_LT(seen, 300'000u);
}

TEST(Inflate, BrokenStreamsAreDamaged) {
  const Bytes good = deflated(sample(70'000), 6, Z_DEFAULT_STRATEGY);
  auto with = [&](size_t at, uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  // Written against a preset dictionary, read without it: copies reach back before the first byte.
  Bytes tooFarBack(200);
  {
    const Bytes words = sample(2000);
    z_stream z{};
    deflateInit(&z, 9);
    deflateSetDictionary(&z, words.data(), 1000);
    z.next_in = const_cast<Bytef*>(words.data());  // the dictionary again: one copy from before the start
    z.avail_in = 1000;
    z.next_out = tooFarBack.data();
    z.avail_out = 200;
    deflate(&z, Z_FINISH);
    tooFarBack.resize(z.total_out);
    deflateEnd(&z);
    tooFarBack.erase(tooFarBack.begin() + 2, tooFarBack.begin() + 6);  // the dictionary's checksum
    tooFarBack[1] = 0x01;
  }
  const Bytes storedLengthWrong = {0x78, 0x01, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0x41, 0, 0, 0, 0};
  const Bytes reservedBlock = {0x78, 0x01, 0x07};
  const Bytes presetDictionary = {0x78, 0x20, 0, 0, 0, 0, 0x03, 0x00};
  const Bytes cases[] = {
      Bytes(good.begin(), good.end() - 1),  // cut inside the checksum
      Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)),  // cut in the middle
      with(good.size() - 1, static_cast<uint8_t>(good.back() ^ 1)),  // a wrong checksum
      with(0, 0x79),  // no deflate method
      tooFarBack, storedLengthWrong, reservedBlock, presetDictionary, {}};
  for (const Bytes& stream : cases) {
    EXPECT_EQ(test::refusalOf([&] { inflated(stream, 3); }), Refusal::Damaged) << stream.size() << " bytes";
  }
}

}  // namespace
}  // namespace zwp
