// Publishing content that was held back in memory (where the file system
// has no unnamed files): written whole and synced under a hidden name, then
// renamed to the target's name by the first way the file system offers, or
// written into a reservation of that name where renames fail.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/disk_ways.h"
#include "core/error.h"
#include "core/file_writer.h"
#include "core/pending_files.h"

namespace zwp {

// Writes the held-back content into a hidden file, complete and synced, and
// puts it under its name. On FUSE, where exclusive renames and links are
// rarely offered, a new name is reserved first, so that the loser of a race
// for it stops before it has made any file.
void FileWriter::publishHeldBack() {
  if (onFuse_ && ifExists_ == IfExists::Keep) reserveName(Taken::Fails);
  // A file that is new although it may replace one is reserved the same way
  // where that spares a rename (fusefat); if one appeared meanwhile, it is replaced.
  if (onFuse_ && ifExists_ == IfExists::Replace && !kept_ && renamesFailOn(device_)) reserveName(Taken::Stays);
  if (reservation_ != Reservation::None && renamesFailOn(device_)) return fillReservation();
  createTemp();
  int error = 0;
  writeAll(fd_, buffer_.data(), buffer_.size(), error);
  if (error != 0) fail(error);
  keepOwner();
  if (::fdatasync(fd_) != 0 && errno != EINVAL) fail(errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) fail(errno);
  claimName();
  done();
}

void FileWriter::done() {
  tempName_.clear();
  forgetPending(slot_);
  forgetPending(reservationSlot_);
  reservation_ = Reservation::None;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

void FileWriter::createTemp() {
  const mode_t mode = kept_ ? kept_->mode : 0666;
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

// Renames the hidden file to the target's name: over whatever is there when
// replacing, else only if the name is free, by the first way the file system
// offers.
void FileWriter::claimName() {
  const char* temp = tempName_.c_str();
  if (ifExists_ == IfExists::Replace) {
    if (::renameat(dirFd_, temp, dirFd_, name_.c_str()) == 0) return;
    if (errno != EEXIST) fail(errno);
    stepAsideAndClaim();
    return;
  }
  if (reservation_ == Reservation::None) {
    if (renameNoReplace(dirFd_, temp, name_.c_str()) == 0) return;
    if (!notSupported(errno)) fail(errno);
    // A hard link refuses an existing name just the same.
    if (::linkat(dirFd_, temp, dirFd_, name_.c_str(), 0) == 0) {
      ::unlinkat(dirFd_, temp, 0);
      return;
    }
    if (!notSupported(errno)) fail(errno);
    reserveName(Taken::Fails);
  }
  if (::renameat(dirFd_, temp, dirFd_, name_.c_str()) == 0) return;
  const int e = errno;
  struct stat st {};
  if (::fstatat(dirFd_, temp, &st, AT_SYMLINK_NOFOLLOW) != 0) fail(e);
  // The complete file is there and so is our reservation, but the file system
  // cannot rename one over the other (fusefat, once a folder outgrows its
  // first cluster). The content goes straight into the reservation instead,
  // here and for every later file on this disk.
  noteRenamesFail(device_);
  ::unlinkat(dirFd_, temp, 0);
  tempName_.clear();
  forgetPending(slot_);
  fillReservation();
}

// Takes the name by creating it empty and exclusively: from here on no other
// program can create it, and the complete file replaces the empty one.
void FileWriter::reserveName(Taken taken) {
  reservationSlot_ = rememberPending(dirFd_, name_, Pending::WhileEmpty);
  const int fd = ::openat(dirFd_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int e = errno;
    forgetPending(reservationSlot_);  // the name is not ours to remove
    if (taken == Taken::Fails || e != EEXIST) fail(e);
    return;
  }
  reservation_ = Reservation::Empty;
  ::close(fd);
}

// Writes the content into the reserved, still empty file itself.
void FileWriter::fillReservation() {
  fd_ = ::openat(dirFd_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ < 0) fail(errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) fail(EEXIST);
  reservation_ = Reservation::Filling;
  removeEvenWhenFilled(reservationSlot_);
  int error = 0;
  writeAll(fd_, buffer_.data(), buffer_.size(), error);
  if (error != 0) fail(error);
  if (::fdatasync(fd_) != 0 && errno != EINVAL) fail(errno);
  done();  // complete and durable: from here on the file is no longer ours to remove
  ::close(fd_);
  fd_ = -1;
}

// Some FUSE servers (fusefat from Debian 13 on) rename only onto a free name.
// The old file steps aside under a hidden name of its own, the new one takes
// the name, and only then does the old one go: at no moment is either lost.
void FileWriter::stepAsideAndClaim() {
  std::string aside;
  for (int attempt = 0; aside.empty(); ++attempt) {
    aside = randomTempName();
    struct stat st {};
    if (::fstatat(dirFd_, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && attempt < 15) aside.clear();
  }
  if (::renameat(dirFd_, name_.c_str(), dirFd_, aside.c_str()) != 0) fail(errno);
  if (::renameat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) != 0) {
    const int e = errno;
    ::renameat(dirFd_, aside.c_str(), dirFd_, name_.c_str());
    fail(e);
  }
  ::unlinkat(dirFd_, aside.c_str(), 0);
}

}  // namespace zwp
