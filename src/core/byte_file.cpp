#include "core/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/error.h"

namespace zwp {

namespace {
constexpr size_t kReadBuffer = 64 * 1024;
}  // namespace

void ByteSource::readZeroFilled(uint8_t* dst, size_t count) {
  const size_t got = read(dst, count);
  std::fill(dst + got, dst + count, uint8_t{0});
}

void ByteSource::skip(size_t count) {
  uint8_t scratch[256];
  while (count > 0) {
    const size_t step = std::min(count, sizeof scratch);
    if (read(scratch, step) < step) return;
    count -= step;
  }
}

uint64_t sizeOfRegularFile(int fd, const std::string& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    throw fileError(S_ISDIR(st.st_mode) ? EISDIR : ENODEV, path, FileAccess::Read);
  }
  return static_cast<uint64_t>(st.st_size);
}

int openRegularFile(const std::string& path, uint64_t& size) {
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw fileError(errno, path, FileAccess::Read);
  try {
    // O_NONBLOCK has no effect on regular files, so it may stay set.
    size = sizeOfRegularFile(fd, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

FileReader::FileReader(const std::string& path) : path_(path) { fd_ = openRegularFile(path, size_); }

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

size_t FileReader::readRaw(uint8_t* dst, size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, dst, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw fileError(errno, path_, FileAccess::Read);
    if (n == 0) eof_ = true;
    return static_cast<size_t>(n);
  }
}

size_t FileReader::read(uint8_t* dst, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (pos_ == len_) {
      if (eof_) break;
      // Large reads bypass the buffer.
      if (count - done >= kReadBuffer) {
        const size_t n = readRaw(dst + done, count - done);
        if (n == 0) break;
        done += n;
        continue;
      }
      if (buffer_.empty()) buffer_.resize(kReadBuffer);
      pos_ = 0;
      len_ = readRaw(buffer_.data(), buffer_.size());
      if (len_ == 0) break;
    }
    const size_t step = std::min(count - done, len_ - pos_);
    std::memcpy(dst + done, buffer_.data() + pos_, step);
    pos_ += step;
    done += step;
  }
  return done;
}

size_t MemoryReader::read(uint8_t* dst, size_t count) {
  const size_t step = std::min(count, data_.size() - pos_);
  if (step > 0) std::memcpy(dst, data_.data() + pos_, step);
  pos_ += step;
  return step;
}

std::vector<uint8_t> readFilePrefix(const std::string& path, size_t maxBytes) {
  FileReader file(path);
  std::vector<uint8_t> bytes;
  readRest(file, bytes, maxBytes);
  return bytes;
}

void readRest(FileReader& file, std::vector<uint8_t>& bytes, size_t maxBytes) {
  const size_t have = bytes.size();
  const size_t want = static_cast<size_t>(std::min<uint64_t>(file.fileSize(), maxBytes));
  if (want <= have) return;
  bytes.resize(want);
  bytes.resize(have + file.read(bytes.data() + have, want - have));
}

}  // namespace zwp
