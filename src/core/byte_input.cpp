#include "core/byte_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/byte_file.h"
#include "core/error.h"

namespace zwp {

namespace {
// Read at a time: a small picture in one call, a large one in pieces that
// keep memory flat.
constexpr size_t kWindow = size_t{1} << 20;
// Read of a listed file before its size is known: a small picture whole,
// in a buffer the heap gives without a system call.
constexpr size_t kFirstRead = size_t{64} << 10;

bool inside(uint64_t size, uint64_t offset, size_t count) { return offset <= size && count <= size - offset; }
}  // namespace

std::span<const uint8_t> ByteInput::head(size_t count) {
  return at(0, sizeOf(std::min<uint64_t>(size_, count)));
}

std::span<const uint8_t> MemoryInput::at(uint64_t offset, size_t count) {
  if (!inside(size_, offset, count)) throw refused(Refusal::Damaged);
  return bytes_.subspan(sizeOf(offset), count);
}

size_t MemoryInput::copy(uint64_t offset, uint8_t* dst, size_t count) {
  if (offset >= size_) return 0;
  const size_t n = sizeOf(std::min<uint64_t>(count, size_ - offset));
  std::memcpy(dst, bytes_.data() + offset, n);
  return n;
}

FileInput::FileInput(const std::string& path, FileKind kind) : path_(path) {
  if (kind == FileKind::Unknown) {
    fd_ = openRegularFile(path, size_);
    return;
  }
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw fileError(errno, path, FileAccess::Read);
  try {
    window_.resize(kFirstRead);
    ssize_t n = 0;
    do {
      n = ::pread(fd_, window_.data(), kFirstRead, 0);
    } while (n < 0 && errno == EINTR);
    // A pipe put in the file's place cannot be read by position: refused as
    // any non-file is. A regular file reads short only at its end.
    if (n < 0) throw fileError(errno == ESPIPE ? ENODEV : errno, path, FileAccess::Read);
    window_.resize(static_cast<size_t>(n));
    size_ = window_.size() < kFirstRead ? window_.size() : sizeOfRegularFile(fd_, path);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

FileInput::~FileInput() { ::close(fd_); }

size_t FileInput::copy(uint64_t offset, uint8_t* dst, size_t count) {
  size_t done = 0;
  while (done < count && offset + done < size_) {
    const ssize_t n = ::pread(fd_, dst + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw fileError(errno, path_, FileAccess::Read);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

std::span<const uint8_t> FileInput::at(uint64_t offset, size_t count) {
  if (!inside(size_, offset, count)) throw refused(Refusal::Damaged);
  if (offset < start_ || !inside(window_.size(), offset - start_, count)) {
    const size_t want = sizeOf(std::min<uint64_t>(std::max(count, kWindow), size_ - offset));
    window_.resize(want);
    start_ = offset;
    const size_t got = copy(offset, window_.data(), want);
    window_.resize(got);
    if (got < count) throw refused(Refusal::Damaged);  // shrunk since it was opened
  }
  return std::span<const uint8_t>(window_).subspan(sizeOf(offset - start_), count);
}

}  // namespace zwp
