#include "core/file_writer.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "core/error.h"

namespace zwp {

namespace {

constexpr size_t kWriteBuffer = 64 * 1024;

std::atomic<bool> unnamedAllowed{true};

bool unnamedUsable() {
  // Giving an unnamed file a name goes through /proc/self/fd.
  static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
  return procMounted && unnamedAllowed.load();
}

// A hidden name nobody can guess: 64 random bits.
std::string randomTempName() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
    static std::atomic<uint64_t> counter{0};
    bits = (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(::time(nullptr)) ^ (++counter * 0x9E3779B97F4A7C15u);
  }
  char name[32];
  std::snprintf(name, sizeof name, ".zwp-%016llx.tmp", static_cast<unsigned long long>(bits));
  return name;
}

// Hidden files that exist right now, so that a fatal signal can remove them.
// Plain atomics and fixed storage: the signal handler may touch nothing else.
struct PendingFile {
  std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 ready
  int dirFd = -1;
  char name[32] = {};
};
std::array<PendingFile, 1024> pending;

extern "C" void removePendingFiles(int signal) {
  for (PendingFile& p : pending) {
    if (p.state.load() == 2) ::unlinkat(p.dirFd, p.name, 0);
  }
  // The handler was reset to the default on entry; the signal now ends the process as it would have.
  ::raise(signal);
}

void installSignalCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = removePendingFiles;
      action.sa_flags = static_cast<int>(SA_RESETHAND);
      sigemptyset(&action.sa_mask);
      ::sigaction(sig, &action, nullptr);
    }
  });
}

int rememberPending(int dirFd, const std::string& name) {
  installSignalCleanup();
  for (size_t i = 0; i < pending.size(); ++i) {
    int expected = 0;
    if (pending[i].state.compare_exchange_strong(expected, 1)) {
      pending[i].dirFd = dirFd;
      std::snprintf(pending[i].name, sizeof pending[i].name, "%s", name.c_str());
      pending[i].state.store(2);
      return static_cast<int>(i);
    }
  }
  return -1;  // all places taken: the file is still removed on every failure but a fatal signal
}

void forgetPending(int& slot) {
  if (slot >= 0) pending[static_cast<size_t>(slot)].state.store(0);
  slot = -1;
}

void writeAll(int fd, const uint8_t* data, size_t count, int& error) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      return;
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
}

// renameat2 with RENAME_NOREPLACE where the C library has it; elsewhere it
// fails as an old kernel would, and the caller links instead.
int renameNoReplace(int dirFd, const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  return ::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE);
#else
  (void)dirFd, (void)from, (void)to;
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

void allowUnnamedFiles(bool allowed) { unnamedAllowed.store(allowed); }

FileWriter::FileWriter(const std::string& target, IfExists ifExists) : target_(target), ifExists_(ifExists) {
  if (target.empty()) throw Error(err::FileNotFound, standardDescription(err::FileNotFound) + ": (kein Name)");
  const std::filesystem::path path(target);
  name_ = path.filename().string();
  if (name_.empty() || name_ == "." || name_ == "..") throw fileError(EISDIR, target_, FileAccess::Write);
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : std::string(".");
  dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd_ < 0) fail(errno);
  struct stat st {};
  if (::fstat(dirFd_, &st) != 0) fail(errno);
  device_ = st.st_dev;

  // A new file gets 0666 less the umask. A replaced regular file keeps its
  // permission bits, but never set-user-id, set-group-id or sticky.
  mode_t mode = 0666;
  if (::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) fail(EISDIR);
    if (ifExists_ == IfExists::Keep) fail(EEXIST);
    if (S_ISREG(st.st_mode)) {
      finalMode_ = st.st_mode & 0777;
      keepMode_ = true;
      mode = finalMode_;  // the umask may take bits away until publish(), never add any
    }
  } else if (errno != ENOENT) {
    fail(errno);
  }
  if (unnamedUsable()) {
    openUnnamed(mode);
  } else {
    openNamed(mode);
  }
  buffer_.reserve(kWriteBuffer);
}

FileWriter::~FileWriter() { discard(); }

void FileWriter::openUnnamed(mode_t mode) {
  fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd_ >= 0) return;
  // File systems without unnamed files answer one of these.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return openNamed(mode);
  fail(errno);
}

void FileWriter::openNamed(mode_t mode) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    tempName_ = randomTempName();
    slot_ = rememberPending(dirFd_, tempName_);
    fd_ = ::openat(dirFd_, tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ >= 0) return;
    const int e = errno;
    forgetPending(slot_);
    tempName_.clear();
    if (e != EEXIST) fail(e);
  }
  fail(EEXIST);
}

void FileWriter::fail(int errnoValue) {
  discard();
  throw fileError(errnoValue, target_, FileAccess::Write);
}

void FileWriter::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);  // an unnamed file vanishes with its last descriptor
  fd_ = -1;
  if (!tempName_.empty()) ::unlinkat(dirFd_, tempName_.c_str(), 0);
  tempName_.clear();
  forgetPending(slot_);
  if (dirFd_ >= 0) ::close(dirFd_);
  dirFd_ = -1;
}

void FileWriter::write(const uint8_t* data, size_t count) {
  if (fd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  int error = 0;
  if (buffer_.empty() && count >= kWriteBuffer) {
    writeAll(fd_, data, count, error);  // large blocks need no copy
  } else {
    while (count > 0 && error == 0) {
      const size_t step = std::min(count, kWriteBuffer - buffer_.size());
      buffer_.insert(buffer_.end(), data, data + step);
      data += step;
      count -= step;
      if (buffer_.size() == kWriteBuffer) {
        writeAll(fd_, buffer_.data(), buffer_.size(), error);
        buffer_.clear();
      }
    }
  }
  if (error != 0) fail(error);
}

void FileWriter::finish() {
  if (published_) return;
  if (fd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  int error = 0;
  writeAll(fd_, buffer_.data(), buffer_.size(), error);
  buffer_.clear();
  if (error != 0) fail(error);
}

void FileWriter::sync() {
  finish();
  if (::fdatasync(fd_) != 0 && errno != EINVAL) fail(errno);
  durable_ = true;
}

void FileWriter::publish() {
  if (published_) return;
  if (!durable_) sync();
  if (keepMode_ && ::fchmod(fd_, finalMode_) != 0) fail(errno);
  if (tempName_.empty()) {
    publishUnnamed();
  } else {
    publishNamed();
  }
  published_ = true;
}

void FileWriter::publishUnnamed() {
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
  if (ifExists_ == IfExists::Keep) {
    // Fails with EEXIST when anything has the name by now.
    if (::linkat(AT_FDCWD, self, dirFd_, name_.c_str(), AT_SYMLINK_FOLLOW) != 0) fail(errno);
  } else {
    // A link cannot replace a file: give the complete file a hidden name for
    // the moment it takes to rename it over the target.
    for (int attempt = 0; tempName_.empty(); ++attempt) {
      tempName_ = randomTempName();
      slot_ = rememberPending(dirFd_, tempName_);
      if (::linkat(AT_FDCWD, self, dirFd_, tempName_.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      const int e = errno;
      forgetPending(slot_);
      tempName_.clear();
      if (e != EEXIST || attempt == 15) fail(e);
    }
    if (::renameat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) != 0) fail(errno);
    tempName_.clear();
    forgetPending(slot_);
  }
  ::close(fd_);  // the content is durable and named; nothing is lost if closing complains now
  fd_ = -1;
}

void FileWriter::publishNamed() {
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) fail(errno);
  const char* temp = tempName_.c_str();
  if (ifExists_ == IfExists::Replace) {
    if (::renameat(dirFd_, temp, dirFd_, name_.c_str()) != 0) fail(errno);
  } else if (renameNoReplace(dirFd_, temp, name_.c_str()) != 0) {
    if (errno != EINVAL && errno != ENOSYS) fail(errno);
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing name just the same.
    if (::linkat(dirFd_, temp, dirFd_, name_.c_str(), 0) != 0) fail(errno);
    ::unlinkat(dirFd_, temp, 0);
  }
  tempName_.clear();
  forgetPending(slot_);
}

void FileWriter::commit() {
  publish();
  // The new name is durable once its directory is.
  if (::fsync(dirFd_) != 0 && errno != EINVAL) fail(errno);
}

void syncFileSystems(std::span<FileWriter* const> writers) {
  std::vector<dev_t> done;
  for (FileWriter* w : writers) w->finish();
  for (FileWriter* w : writers) {
    if (std::find(done.begin(), done.end(), w->device_) != done.end()) continue;
    done.push_back(w->device_);
    if (::syncfs(w->dirFd_) != 0) w->fail(errno);
  }
  for (FileWriter* w : writers) w->durable_ = true;
}

}  // namespace zwp
