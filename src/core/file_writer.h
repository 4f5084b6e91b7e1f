// The one way the program creates files. The content goes into a file that has
// no name yet, in the target's directory; it gets its name only when it is
// complete and on disk. Creating never replaces a file that exists, not even
// one a racing process made a moment ago; replacing is atomic and only done
// when asked for. Permissions never loosen and never carry set-id bits.
#pragma once

#include <sys/types.h>

#include <span>
#include <string>
#include <vector>

#include "core/byte_file.h"

namespace zwp {

enum class IfExists {
  Keep,     // an existing target is left alone and the write fails (75, "Datei existiert bereits")
  Replace,  // an existing target is replaced atomically; a symlink there is replaced, its target untouched
};

class FileWriter final : public ByteSink {
 public:
  FileWriter(const std::string& target, IfExists ifExists);
  ~FileWriter() override;
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  void write(const uint8_t* data, size_t count) override;

  // The steps of commit(), for callers that make many files durable at once:
  // finish() writes out what is buffered, sync() makes the content durable,
  // publish() puts the file under its name (the content must be durable by
  // then, through sync() or syncFileSystems()).
  void finish();
  void sync();
  void publish();

  // finish, sync, publish, and make the new name itself durable.
  void commit();

  const std::string& target() const { return target_; }
  dev_t device() const { return device_; }

 private:
  void openUnnamed(mode_t mode);
  void openNamed(mode_t mode);
  void publishUnnamed();
  void publishNamed();
  [[noreturn]] void fail(int errnoValue);
  void discard() noexcept;

  std::string target_;
  std::string name_;  // the target's name inside its directory
  IfExists ifExists_;
  int dirFd_ = -1;
  int fd_ = -1;
  dev_t device_ = 0;
  mode_t finalMode_ = 0;  // the replaced file's permission bits, when keepMode_
  bool keepMode_ = false;
  std::string tempName_;  // the named temporary file, when one exists
  int slot_ = -1;         // its place in the list removed on a fatal signal
  bool durable_ = false;
  bool published_ = false;
  std::vector<uint8_t> buffer_;

  friend void syncFileSystems(std::span<FileWriter* const> writers);
};

// Makes the content of every given writer durable with one sync per file
// system; raises the file error of the first writer on a failing one.
void syncFileSystems(std::span<FileWriter* const> writers);

// Unnamed files need Linux's O_TMPFILE and /proc; without them (or after this
// call with false) the writer uses a hidden file of an unpredictable name that
// is removed on failure and on SIGINT, SIGTERM, SIGHUP and SIGXFSZ.
void allowUnnamedFiles(bool allowed);

}  // namespace zwp
