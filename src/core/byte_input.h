// Where a picture reader's bytes come from: a file on disk, read only as far
// as the reader asks and a window at a time, or bytes already in memory (the
// browser page, the image plugins, tests). Either way every read is checked
// against the end, so memory never grows with the size of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace zwp {

// A count within a file as a count in memory: the same type on 64-bit
// machines, narrower in the browser page's 32-bit module, where the caller
// has bounded it by what is in memory.
template <typename Size = size_t>
constexpr Size sizeOf(uint64_t count) {
  if constexpr (std::is_same_v<Size, uint64_t>) {
    return count;
  } else {
    return static_cast<Size>(count);
  }
}

class ByteInput {
 public:
  virtual ~ByteInput() = default;
  uint64_t size() const { return size_; }
  // The count bytes at offset, which must all lie inside the input (else
  // error 481: the file is cut). They stay valid until the next call.
  virtual std::span<const uint8_t> at(uint64_t offset, size_t count) = 0;
  // Copies up to count bytes at offset into dst, without a window in
  // between; fewer only at the end.
  virtual size_t copy(uint64_t offset, uint8_t* dst, size_t count) = 0;
  // The first count bytes, or all there are.
  std::span<const uint8_t> head(size_t count);

 protected:
  uint64_t size_ = 0;
};

class MemoryInput final : public ByteInput {
 public:
  explicit MemoryInput(std::span<const uint8_t> bytes) : bytes_(bytes) { size_ = bytes.size(); }
  // The input only borrows the bytes; a temporary would be gone before the first read.
  explicit MemoryInput(std::vector<uint8_t>&&) = delete;
  std::span<const uint8_t> at(uint64_t offset, size_t count) override;
  size_t copy(uint64_t offset, uint8_t* dst, size_t count) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A regular file, read by position. Opening a directory, a device or a pipe
// fails with error 75 rather than blocking; read errors raise the file error,
// and a file that shrinks while it is read is cut (481). A file listed as
// regular is read at once, and a read that ends short of what was asked
// gives its size without asking the file system; only a larger one is
// looked at (a pipe put in its place meanwhile is read without waiting).
// What the caller knows of a file before opening it: nothing, or that its
// folder listed it as a regular file (a batch reads each folder once).
enum class FileKind { Unknown, ListedRegular };

class FileInput final : public ByteInput {
 public:
  explicit FileInput(const std::string& path, FileKind kind = FileKind::Unknown);
  ~FileInput() override;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  std::span<const uint8_t> at(uint64_t offset, size_t count) override;
  size_t copy(uint64_t offset, uint8_t* dst, size_t count) override;

 private:
  std::string path_;
  int fd_ = -1;
  std::vector<uint8_t> window_;  // the bytes from start_ on, as last read
  uint64_t start_ = 0;
};

// For a C library's read callback, which must not throw through the library:
// the first failure is kept and raised again once the library has returned.
class HeldFailure {
 public:
  template <typename Read, typename Result>
  Result hold(Read&& read, Result onFailure) noexcept {
    try {
      return read();
    } catch (...) {
      if (!failure_) failure_ = std::current_exception();
      return onFailure;
    }
  }
  // Raises the failure held, if any.
  void raise() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::exception_ptr failure_;
};

}  // namespace zwp
