// Forward-only byte files: readers that take bytes from the start of a file
// (or a memory block) onward, and the sink that writers fill. Readers close
// themselves; nothing stays open after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zwp {

// Bytes read strictly forward. read() answers fewer bytes than asked for at
// the end of the data; that is not an error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual size_t read(uint8_t* dst, size_t count) = 0;
  // Reads count bytes, filling whatever lies past the end with zero bytes.
  void readZeroFilled(uint8_t* dst, size_t count);
  void skip(size_t count);
};

// The size of the open file; raises error 75 when it is not a regular file.
uint64_t sizeOfRegularFile(int fd, const std::string& path);
// Opens a regular file for reading and gives its size; a directory, a device
// or a pipe fails with error 75 rather than blocking or reading garbage.
int openRegularFile(const std::string& path, uint64_t& size);

// A regular file opened for reading. Opening a directory, a device or a pipe
// fails with error 75 rather than blocking or reading garbage.
class FileReader final : public ByteSource {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader() override;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  size_t read(uint8_t* dst, size_t count) override;
  uint64_t fileSize() const { return size_; }

 private:
  size_t readRaw(uint8_t* dst, size_t count);

  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;
};

class MemoryReader final : public ByteSource {
 public:
  explicit MemoryReader(std::span<const uint8_t> data) : data_(data) {}
  // The reader only borrows the bytes; a temporary would be gone before the first read.
  explicit MemoryReader(std::vector<uint8_t>&&) = delete;
  size_t read(uint8_t* dst, size_t count) override;

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// Reads at most maxBytes from the start of a regular file.
std::vector<uint8_t> readFilePrefix(const std::string& path, size_t maxBytes);
// Appends what the file holds beyond bytes.size(), up to maxBytes in all.
void readRest(FileReader& file, std::vector<uint8_t>& bytes, size_t maxBytes);

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const uint8_t* data, size_t count) = 0;
};

// Collects written bytes in memory.
class VectorSink final : public ByteSink {
 public:
  void write(const uint8_t* data, size_t count) override { bytes.insert(bytes.end(), data, data + count); }
  std::vector<uint8_t> bytes;
};

// Little-endian field helpers.
inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
// Big-endian ones, for PNG and JPEG.
inline uint16_t readBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t readBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace zwp
