#include "core/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "core/disk_ways.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/pending_files.h"

namespace zwp {

namespace {

constexpr size_t kWriteBuffer = 64 * 1024;

std::atomic<bool> unnamedAllowed{true};

bool unnamedUsable() {
  // Giving an unnamed file a name goes through /proc/self/fd.
  static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
  return procMounted && unnamedAllowed.load();
}

}  // namespace

void allowUnnamedFiles(bool allowed) { unnamedAllowed.store(allowed); }

std::string folderOfTarget(const std::string& target) {
  const std::filesystem::path path(target);
  return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

std::shared_ptr<const WriteFolder> WriteFolder::open(const std::string& path, int& error) {
  std::shared_ptr<WriteFolder> folder(new WriteFolder);
  folder->fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat st {};
  if (folder->fd < 0 || ::fstat(folder->fd, &st) != 0) {
    error = errno;
    return nullptr;
  }
  folder->device = st.st_dev;
  folder->inode = st.st_ino;
  const FileSystem type = fileSystemOf(folder->fd);
  folder->syncfsReaches = syncfsReachesStorage(type);
  folder->onFuse = type == FileSystem::Fuse;
  return folder;
}

WriteFolder::~WriteFolder() {
  if (fd >= 0) ::close(fd);
}

FileWriter::FileWriter(const std::string& target, IfExists ifExists) : target_(target), ifExists_(ifExists) {
  nameTarget();
  int error = 0;
  auto folder = WriteFolder::open(folderOfTarget(target), error);
  if (!folder) fail(error);
  adopt(std::move(folder), true);
}

FileWriter::FileWriter(std::shared_ptr<const WriteFolder> folder, const std::string& target, IfExists ifExists)
    : target_(target), ifExists_(ifExists) {
  nameTarget();
  adopt(std::move(folder), ifExists == IfExists::Replace || !unnamedUsable());
}

void FileWriter::nameTarget() {
  if (target_.empty()) throw Error(err::FileNotFound, standardDescription(err::FileNotFound) + ": (kein Name)");
  name_ = std::filesystem::path(target_).filename().string();
  if (name_.empty() || name_ == "." || name_ == "..") throw fileError(EISDIR, target_, FileAccess::Write);
}

void FileWriter::adopt(std::shared_ptr<const WriteFolder> folder, bool lookAtName) {
  folder_ = std::move(folder);
  dirFd_ = folder_->fd;
  device_ = folder_->device;
  dirInode_ = folder_->inode;
  syncfsReaches_ = folder_->syncfsReaches;
  onFuse_ = folder_->onFuse;

  // A new file gets 0666 less the umask. A replaced regular file keeps its
  // permission bits, but never set-user-id, set-group-id or sticky.
  mode_t mode = 0666;
  struct stat st {};
  if (lookAtName && ::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) fail(EISDIR);
    if (ifExists_ == IfExists::Keep) fail(EEXIST);
    if (S_ISREG(st.st_mode)) {
      kept_ = Kept{st.st_uid, st.st_gid, st.st_mode & 0777};
      mode = kept_->mode;  // the umask may take bits away until publish(), never add any
    }
  } else if (lookAtName && errno != ENOENT) {
    fail(errno);
  }
  if (unnamedUsable()) openUnnamed(mode);
  way_ = fd_ < 0 ? Way::HeldBack : Way::Unnamed;
}

FileWriter::~FileWriter() { discard(); }

void FileWriter::openUnnamed(mode_t mode) {
  fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  // File systems without unnamed files answer one of these; the content then waits in memory.
  if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) fail(errno);
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
  if (reservation_ != Reservation::None) {
    // Our reservation goes, empty or filled in part by us; a file that has
    // content otherwise is someone else's.
    struct stat st {};
    if (::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (st.st_size == 0 || reservation_ == Reservation::Filling)) {
      ::unlinkat(dirFd_, name_.c_str(), 0);
    }
    forgetPending(reservationSlot_);
    reservation_ = Reservation::None;
  }
  buffer_.clear();
  buffer_.shrink_to_fit();
  folder_.reset();
  dirFd_ = -1;
}

void FileWriter::write(const uint8_t* data, size_t count) {
  if (dirFd_ < 0 || stage_ == Stage::Published) throw fileError(EBADF, target_, FileAccess::Write);
  if (way_ == Way::HeldBack) {
    buffer_.insert(buffer_.end(), data, data + count);
    return;
  }
  int error = 0;
  if (buffer_.empty() && count >= kWriteBuffer / 8) {
    writeAll(fd_, data, count, error);  // a whole picture or a large block needs no copy
  } else {
    if (buffer_.capacity() < kWriteBuffer) buffer_.reserve(kWriteBuffer);
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
  if (stage_ == Stage::Published || way_ == Way::HeldBack) return;
  if (fd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  int error = 0;
  writeAll(fd_, buffer_.data(), buffer_.size(), error);
  // A batch holds hundreds of finished files until their sync; none keeps a buffer.
  std::vector<uint8_t>().swap(buffer_);
  if (error != 0) fail(error);
}

void FileWriter::sync() {
  finish();
  if (stage_ == Stage::Published || way_ == Way::HeldBack) return;  // held back: synced as publish() writes it
  if (::fdatasync(fd_) != 0 && errno != EINVAL) fail(errno);
  stage_ = Stage::Durable;
}

void FileWriter::publish() {
  if (stage_ == Stage::Published) return;
  if (dirFd_ < 0) throw fileError(EBADF, target_, FileAccess::Write);
  if (way_ == Way::HeldBack) {
    publishHeldBack();
  } else {
    if (stage_ != Stage::Durable) sync();
    keepOwner();
    publishUnnamed();
  }
  stage_ = Stage::Published;
}

// A replaced file keeps its owner and group where this process may set them,
// and its permission bits. A file system that stores neither (FAT) refuses
// both, which is fine: it has nothing to lose.
void FileWriter::keepOwner() {
  if (!kept_) return;
  const Kept& k = *kept_;
  if ((k.owner != ::geteuid() || k.group != ::getegid()) && ::fchown(fd_, k.owner, k.group) != 0 && !notSupported(errno)) {
    fail(errno);
  }
  if (::fchmod(fd_, k.mode) != 0 && !notSupported(errno)) fail(errno);
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

void FileWriter::commit() {
  publish();
  // The new name is durable once its directory is.
  if (::fsync(dirFd_) != 0 && errno != EINVAL) fail(errno);
}

void fillFile(const std::string& path, std::span<const uint8_t> bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    FileWriter made(path, IfExists::Keep);
    made.write(bytes.data(), bytes.size());
    return made.commit();
  }
  if (fd < 0) throw fileError(errno, path, FileAccess::Write);
  struct stat st {};
  int error = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EISDIR : 0;
  if (error == 0 && ::ftruncate(fd, 0) != 0) error = errno;
  if (error == 0) writeAll(fd, bytes.data(), bytes.size(), error);
  if (error != 0 && S_ISREG(st.st_mode)) (void)!::ftruncate(fd, 0);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) throw fileError(error, path, FileAccess::Write);
}

void syncFileSystems(std::span<FileWriter* const> writers) {
  std::vector<std::pair<dev_t, ino_t>> done;  // file systems by device, folders by device and inode
  auto first = [&](std::pair<dev_t, ino_t> key) {
    if (std::find(done.begin(), done.end(), key) != done.end()) return false;
    done.push_back(key);
    return true;
  };
  for (FileWriter* w : writers) w->finish();
  for (FileWriter* w : writers) {
    if (w->dirFd_ < 0) continue;
    const bool published = w->stage_ == FileWriter::Stage::Published;
    if (!published && w->sharesSyncs()) {
      if (first({w->device_, 0}) && ::syncfs(w->dirFd_) != 0) w->fail(errno);
      w->stage_ = FileWriter::Stage::Durable;
    } else if (!published) {
      w->sync();
    } else if (w->syncfsReaches_) {
      if (first({w->device_, 0}) && ::syncfs(w->dirFd_) != 0) w->fail(errno);
    } else if (first({w->device_, w->dirInode_}) && ::fsync(w->dirFd_) != 0 && errno != EINVAL) {
      w->fail(errno);
    }
  }
}

}  // namespace zwp
