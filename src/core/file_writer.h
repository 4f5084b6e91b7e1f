// The one way the program creates files. The content goes into a file that has
// no name yet, in the target's directory; it gets its name only when it is
// complete and on disk. Creating never replaces a file that exists, not even
// one a racing process made a moment ago; replacing is atomic and only done
// when asked for. A replaced file keeps its owner where the process may set
// it; permissions never loosen and never carry set-id bits.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/byte_file.h"

namespace zwp {

enum class IfExists {
  Keep,     // an existing target is left alone and the write fails (75, "Datei existiert bereits")
  Replace,  // an existing target is replaced atomically; a symlink there is replaced, its target untouched
};

// A folder files are written into: opened once, its file system asked once
// what it offers, and shared by every writer into it (a batch writing a
// thousand files into one folder opens it once, not a thousand times).
// The folder a target path names ("." for a bare name).
std::string folderOfTarget(const std::string& target);

struct WriteFolder {
  // The folder, or null with the error number when it cannot be opened.
  static std::shared_ptr<const WriteFolder> open(const std::string& path, int& error);
  ~WriteFolder();
  WriteFolder(const WriteFolder&) = delete;
  WriteFolder& operator=(const WriteFolder&) = delete;

  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
  bool syncfsReaches = false;  // syncfs() on its file system reaches the storage
  bool onFuse = false;

 private:
  WriteFolder() = default;
};

class FileWriter final : public ByteSink {
 public:
  FileWriter(const std::string& target, IfExists ifExists);
  // A file in a folder already open. Without replacing, the name is looked
  // at only where the content waits in memory: the caller has just seen it
  // free, and should something take it meanwhile, publish() fails with
  // "Datei existiert bereits" as the constructor would have.
  FileWriter(std::shared_ptr<const WriteFolder> folder, const std::string& target, IfExists ifExists);
  ~FileWriter() override;
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  void write(const uint8_t* data, size_t count) override;

  // The steps of commit(), for callers that make many files durable at once:
  // finish() writes out what is buffered, sync() makes the content durable,
  // publish() puts the file under its name (syncing it first unless sync()
  // or syncFileSystems() already did).
  void finish();
  void sync();
  void publish();

  // Whether one syncfs() makes this file durable together with others on its
  // file system. Where it does not (FUSE, network and unknown file systems, or
  // a file held back until publish()), the file is synced by itself and is
  // best published at once.
  bool sharesSyncs() const { return way_ == Way::Unnamed && fd_ >= 0 && tempName_.empty() && syncfsReaches_; }

  // finish, sync, publish, and make the new name itself durable.
  void commit();

  const std::string& target() const { return target_; }
  dev_t device() const { return device_; }

 private:
  // How the content reaches its name.
  enum class Way {
    Unnamed,   // written into a file without a name (O_TMPFILE), linked into place when complete
    HeldBack,  // held in memory until publish(), then written whole under a hidden name or into a reservation
  };
  // How far the file has come.
  enum class Stage { Writing, Durable, Published };
  // The target's name held by an empty file of ours (to stop a racing
  // program from creating it), and whether our content is going into it.
  enum class Reservation { None, Empty, Filling };
  // A name already taken fails the writer, or (when replacing anyway) leaves it be.
  enum class Taken { Fails, Stays };
  // The replaced file's owner, group and permission bits.
  struct Kept {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
  };

  void nameTarget();
  void adopt(std::shared_ptr<const WriteFolder> folder, bool lookAtName);
  void openUnnamed(mode_t mode);
  void publishUnnamed();
  // Taking the name for held-back content (file_writer_names.cpp).
  void publishHeldBack();
  void createTemp();
  void claimName();
  void stepAsideAndClaim();
  void reserveName(Taken taken);
  void fillReservation();
  void done();
  void keepOwner();
  [[noreturn]] void fail(int errnoValue);
  void discard() noexcept;

  std::string target_;
  std::string name_;  // the target's name inside its directory
  IfExists ifExists_;
  Way way_ = Way::HeldBack;
  Stage stage_ = Stage::Writing;
  Reservation reservation_ = Reservation::None;
  std::optional<Kept> kept_;  // when a regular file is replaced
  std::shared_ptr<const WriteFolder> folder_;
  int dirFd_ = -1;  // the folder's, while the writer holds it
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t dirInode_ = 0;
  bool syncfsReaches_ = false;  // syncfs() on this file system reaches the storage
  bool onFuse_ = false;
  std::string tempName_;  // the hidden temporary file, when one exists
  int slot_ = -1;         // its place in the list removed on a fatal signal
  int reservationSlot_ = -1;
  std::vector<uint8_t> buffer_;

  friend void syncFileSystems(std::span<FileWriter* const> writers);
};

// Fills a file the caller made and may hold open (a thumbnailer's output) with
// the bytes, in place, so that the caller's descriptor sees them. A file that
// is not there yet is made as FileWriter makes one. On failure an existing
// file is left empty and the error raised.
void fillFile(const std::string& path, std::span<const uint8_t> bytes);

// Makes what the given writers have done durable: the content of those not yet
// published, the names of those published. One syncfs() per file system where
// that reaches the storage, else one sync per file and per folder; raises the
// file error of the first writer on a failing one.
void syncFileSystems(std::span<FileWriter* const> writers);

// Unnamed files need Linux's O_TMPFILE and /proc; without them (or after this
// call with false) the content waits in memory until publish(), which writes
// and syncs it under a hidden name of 64 random bits and renames it into place.
// A new name is taken by renaming without replacing, or by a hard link; where
// the file system has neither (FAT, exFAT, most FUSE mounts) it is first
// reserved by creating it empty and exclusively, and the complete file is
// renamed over the reservation. On fusefat, whose renames damage larger
// folders, the content is written into the reservation itself. Hidden files
// and reservations are removed on failure and on SIGINT, SIGTERM, SIGHUP and
// SIGXFSZ; only SIGKILL or a crash can leave one of them.
void allowUnnamedFiles(bool allowed);

}  // namespace zwp
