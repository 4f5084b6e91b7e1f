#include "codec/emblem_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/error.h"

namespace zwp {

namespace {

// Stores the words of count colour values, two bytes each, low byte first.
// Proper colours (0..0xFFFFFF) take a branch-free loop the compiler can
// vectorise; a block with any other value goes pixel by pixel.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "sse4.1", "default")))
#endif
void encodeWords(const int32_t* colours, size_t count, uint8_t* out) {
  constexpr size_t kBlock = 4096;
  uint16_t words[kBlock];
  for (size_t start = 0; start < count; start += kBlock) {
    const size_t n = std::min(kBlock, count - start);
    const int32_t* src = colours + start;
    uint32_t high = 0;
    for (size_t i = 0; i < n; ++i) high |= static_cast<uint32_t>(src[i]);
    if (high <= 0xFFFFFFu) {
      for (size_t i = 0; i < n; ++i) {
        const uint32_t c = static_cast<uint32_t>(src[i]);
        words[i] = static_cast<uint16_t>(((c & 0xF8u) << 8) | ((c & 0xFC00u) >> 5) | ((c >> 19) & 0x1Fu));
      }
    } else {
      for (size_t i = 0; i < n; ++i) words[i] = fastWord(src[i]);
    }
    uint8_t* dst = out + 2 * start;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(dst, words, 2 * n);  // the host's own order is the file's
    } else {
      for (size_t i = 0; i < n; ++i) putLe16(dst + 2 * i, words[i]);
    }
  }
}

// UnpackPixel of every word, computed once: decoding a row is then one lookup per pixel.
const std::vector<int32_t>& expansionTable() {
  static const std::vector<int32_t> table = [] {
    std::vector<int32_t> t(65536);
    for (int32_t word = 0; word < 65536; ++word) t[static_cast<size_t>(word)] = UnpackPixel(word);
    return t;
  }();
  return table;
}

}  // namespace

void WriteEmblemHeader(ByteSink& file, const EmblemHeader& header) {
  uint8_t bytes[kEmblemHeaderSize];
  for (size_t i = 0; i < header.Reserved.size(); ++i) bytes[i] = static_cast<uint8_t>(header.Reserved[i]);
  putLe32(bytes + 272, static_cast<uint32_t>(header.Width));
  putLe32(bytes + 276, static_cast<uint32_t>(header.Height));
  file.write(bytes, sizeof bytes);
}

void WritePixelWord(ByteSink& file, int16_t word) {
  uint8_t bytes[2];
  putLe16(bytes, static_cast<uint16_t>(word));
  file.write(bytes, 2);
}

void ReadEmblemHeader(ByteSource& file, EmblemHeader& header) {
  uint8_t bytes[kEmblemHeaderSize];
  file.readZeroFilled(bytes, sizeof bytes);
  for (size_t i = 0; i < header.Reserved.size(); ++i) header.Reserved[i] = static_cast<char>(bytes[i]);
  header.Width = static_cast<int32_t>(readLe32(bytes + 272));
  header.Height = static_cast<int32_t>(readLe32(bytes + 276));
}

int16_t ReadPixelWord(ByteSource& file) {
  uint8_t bytes[2];
  file.readZeroFilled(bytes, 2);
  return static_cast<int16_t>(readLe16(bytes));
}

bool emblemHeaderUsable(const EmblemHeader& header) {
  return pictureSizeUsable(header.Width, header.Height);
}

std::optional<Emblem> readEmblem(ByteSource& file) {
  Emblem emblem;
  ReadEmblemHeader(file, emblem.header);
  if (!emblemHeaderUsable(emblem.header)) return std::nullopt;
  emblem.picture = Picture(emblem.header.Width, emblem.header.Height);
  // Rows are read in bulk; words missing at the end of a short file stay zero (black).
  std::vector<uint8_t> row(static_cast<size_t>(emblem.header.Width) * 2);
  const int32_t* expand = expansionTable().data();
  int32_t* out = emblem.picture.pixels.data();
  for (int32_t y = 0; y < emblem.header.Height; ++y) {
    file.readZeroFilled(row.data(), row.size());
    for (int32_t x = 0; x < emblem.header.Width; ++x) {
      *out++ = expand[CUint(static_cast<int16_t>(readLe16(&row[2 * static_cast<size_t>(x)])))];
    }
  }
  return emblem;
}

std::optional<Emblem> readEmblemFile(const std::string& path) {
  FileReader file(path);
  return readEmblem(file);
}

std::optional<Emblem> decodeEmblem(std::span<const uint8_t> bytes) {
  MemoryReader file(bytes);
  return readEmblem(file);
}

void writeEmblem(ByteSink& file, const Picture& picture, int32_t width, int32_t height,
                 const PixelProgress& progress) {
  if (width > 0 && height > 0 && !pictureSizeUsable(width, height)) throw Error(err::Overflow);
  EmblemHeader header;
  header.Width = width;
  header.Height = height;
  WriteEmblemHeader(file, header);
  if (width <= 0 || height <= 0) return;

  std::vector<uint8_t> row(static_cast<size_t>(width) * 2);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t colour = picture.contains(x, y) ? picture.at(x, y) : -1;
      const SnappedPixel snapped = snapPixel(colour);
      putLe16(&row[2 * static_cast<size_t>(x)], static_cast<uint16_t>(storedWord(snapped)));
      if (progress) progress(x, y, snapped);
    }
    file.write(row.data(), row.size());
  }
}

void writeEmblemFile(const std::string& path, const Picture& picture, int32_t width, int32_t height,
                     const PixelProgress& progress) {
  AtomicFileWriter file(path);
  writeEmblem(file, picture, width, height, progress);
  file.commit();
}

std::vector<uint8_t> encodeEmblem(const Picture& picture) {
  std::vector<uint8_t> bytes(kEmblemHeaderSize + picture.pixels.size() * 2);
  std::fill_n(bytes.begin(), 272, uint8_t{0});
  putLe32(bytes.data() + 272, static_cast<uint32_t>(picture.width));
  putLe32(bytes.data() + 276, static_cast<uint32_t>(picture.height));
  encodeWords(picture.pixels.data(), picture.pixels.size(), bytes.data() + kEmblemHeaderSize);
  return bytes;
}

}  // namespace zwp
