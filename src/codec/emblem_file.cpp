#include "codec/emblem_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/error.h"

namespace zwp {

namespace {

// The words of count colour values. Proper colours (0..0xFFFFFF) take a
// branch-free loop the compiler vectorises; a block holding any other value
// goes pixel by pixel.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "sse4.1", "default")))
#endif
void encodeWords(const int32_t* colours, size_t count, uint16_t* words) {
  uint32_t high = 0;
  for (size_t i = 0; i < count; ++i) high |= static_cast<uint32_t>(colours[i]);
  if (high <= 0xFFFFFFu) {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t c = static_cast<uint32_t>(colours[i]);
      words[i] = static_cast<uint16_t>(((c & 0xF8u) << 8) | ((c & 0xFC00u) >> 5) | ((c >> 19) & 0x1Fu));
    }
  } else {
    for (size_t i = 0; i < count; ++i) words[i] = fastWord(colours[i]);
  }
}

// Stores words low byte first.
void storeWords(const uint16_t* words, size_t count, uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, words, 2 * count);  // the host's own order is the file's
  } else {
    for (size_t i = 0; i < count; ++i) putLe16(out + 2 * i, words[i]);
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
  int32_t* out = emblem.picture.pixels().data();
  for (int32_t y = 0; y < emblem.header.Height; ++y) {
    file.readZeroFilled(row.data(), row.size());
    for (int32_t x = 0; x < emblem.header.Width; ++x) {
      *out++ = expand[readLe16(&row[2 * static_cast<size_t>(x)])];  // the word as unsigned, 0 to 65535
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
                 const RowProgress& progress) {
  EmblemHeader header;
  header.Width = width;
  header.Height = height;
  writeEmblem(file, header, picture, progress);
}

void writeEmblem(ByteSink& file, const EmblemHeader& header, const Picture& picture, const RowProgress& progress) {
  const int32_t width = header.Width;
  const int32_t height = header.Height;
  if (width > 0 && height > 0 && !pictureSizeUsable(width, height)) throw Error(err::Overflow);
  WriteEmblemHeader(file, header);
  if (width <= 0 || height <= 0) return;

  // Rows are encoded one at a time and stored in blocks of about 64 KiB.
  const size_t rowWords = static_cast<size_t>(width);
  const size_t rowsPerBlock = std::max<size_t>(1, 32768 / rowWords);
  std::vector<uint16_t> words(rowWords);
  std::vector<uint8_t> block(rowsPerBlock * rowWords * 2);
  const uint16_t outside = fastWord(-1);
  const size_t inside = static_cast<size_t>(std::min(width, picture.width()));
  size_t filled = 0;
  for (int32_t y = 0; y < height; ++y) {
    size_t done = 0;
    if (y < picture.height()) {
      encodeWords(picture.row(y).data(), inside, words.data());
      done = inside;
    }
    std::fill(words.begin() + static_cast<std::ptrdiff_t>(done), words.end(), outside);
    if (progress) progress(y, words);
    storeWords(words.data(), rowWords, block.data() + filled);
    filled += rowWords * 2;
    if (filled == block.size() || y == height - 1) {
      file.write(block.data(), filled);
      filled = 0;
    }
  }
}

void writeEmblemFile(const std::string& path, IfExists ifExists, const Picture& picture, int32_t width,
                     int32_t height, const RowProgress& progress) {
  FileWriter file(path, ifExists);
  writeEmblem(file, picture, width, height, progress);
  file.commit();
}

std::vector<uint8_t> encodeEmblem(const Picture& picture) {
  VectorSink sink;
  sink.bytes.reserve(kEmblemHeaderSize + picture.pixels().size() * 2);
  writeEmblem(sink, picture, picture.width(), picture.height());
  return std::move(sink.bytes);
}

}  // namespace zwp
