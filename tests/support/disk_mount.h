// The disks players carry emblems on, mounted through FUSE over a fresh folder
// for the length of a test: a FAT and an exFAT image, and bindfs over a local
// folder. Local is the test machine's own temporary folder. ready() tells
// whether the disk could be mounted, why() what was missing when not.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/test_files.h"

namespace zwp::test {

enum class Disk { Local, Fat, Exfat, Bindfs };

const char* nameOf(Disk disk);
// FAT and exFAT keep neither owners, permission bits nor links, and fold case.
bool isFat(Disk disk);

class DiskMount {
 public:
  // With traceSyncs, bindfs runs under strace, which notes every fsync the
  // server receives (see syncsSeen()).
  explicit DiskMount(Disk disk, bool traceSyncs = false);
  ~DiskMount();
  DiskMount(const DiskMount&) = delete;
  DiskMount& operator=(const DiskMount&) = delete;

  bool ready() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  const std::string& root() const { return root_; }
  // How many fsync and fdatasync calls the traced server made so far.
  int syncsSeen() const;

 private:
  bool mount(Disk disk, bool traceSyncs);
  TempDir base_;
  std::string root_;
  std::string trace_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace zwp::test
