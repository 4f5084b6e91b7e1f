#include "core/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/error.h"

namespace zwp {

namespace {
constexpr size_t kReadBuffer = 64 * 1024;
constexpr size_t kWriteBuffer = 64 * 1024;

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}
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

FileReader::FileReader(const std::string& path) : path_(path) {
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused below.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw fileError(errno, path, FileAccess::Read);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    ::close(fd_);
    fd_ = -1;
    throw fileError(e, path, FileAccess::Read);
  }
  // O_NONBLOCK has no effect on regular files, so it may stay set.
  size_ = static_cast<uint64_t>(st.st_size);
}

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
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(file.fileSize(), maxBytes)));
  bytes.resize(file.read(bytes.data(), bytes.size()));
  return bytes;
}

AtomicFileWriter::AtomicFileWriter(const std::string& target) : target_(target) {
  if (target.empty()) throw Error(err::FileNotFound, standardDescription(err::FileNotFound) + ": (kein Name)");
  struct stat old {};
  const bool hadTarget = ::stat(target.c_str(), &old) == 0;
  if (hadTarget && S_ISDIR(old.st_mode)) throw fileError(EISDIR, target, FileAccess::Write);

  static std::atomic<unsigned> counter{0};
  const std::string dir = directoryOf(target);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = dir + "/.zwp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) throw fileError(errno, target, FileAccess::Write);
  }
  if (fd_ < 0) throw fileError(EEXIST, target, FileAccess::Write);
  // Replacing a file keeps its permissions.
  if (hadTarget && S_ISREG(old.st_mode)) (void)::fchmod(fd_, old.st_mode & 07777);
  buffer_.reserve(kWriteBuffer);
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

void AtomicFileWriter::discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
  }
}

void AtomicFileWriter::flushBuffer() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = n < 0 ? errno : ENOSPC;
      discard();
      throw fileError(e, target_, FileAccess::Write);
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

void AtomicFileWriter::write(const uint8_t* data, size_t count) {
  if (fd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  while (count > 0) {
    const size_t step = std::min(count, kWriteBuffer - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + step);
    data += step;
    count -= step;
    if (buffer_.size() == kWriteBuffer) flushBuffer();
  }
}

void AtomicFileWriter::commit() {
  if (fd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  flushBuffer();
  if (::fdatasync(fd_) != 0 && errno != EINVAL) {
    const int e = errno;
    discard();
    throw fileError(e, target_, FileAccess::Write);
  }
  if (::close(fd_) != 0) {
    const int e = errno;
    fd_ = -1;
    ::unlink(temp_.c_str());
    throw fileError(e, target_, FileAccess::Write);
  }
  fd_ = -1;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp_.c_str());
    throw fileError(e, target_, FileAccess::Write);
  }
}

}  // namespace zwp
