#include "support/disk_mount.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace zwp::test {

namespace {

bool succeeds(const std::string& command) {
  return std::system(("bash -c '" + command + "' >/dev/null 2>&1").c_str()) == 0;
}

bool isMountPoint(const std::string& path) {
  struct stat here {}, parent {};
  return ::stat(path.c_str(), &here) == 0 && ::stat((path + "/..").c_str(), &parent) == 0 && here.st_dev != parent.st_dev;
}

}  // namespace

const char* nameOf(Disk disk) {
  switch (disk) {
    case Disk::Local: return "Local";
    case Disk::Fat: return "Fat";
    case Disk::Exfat: return "Exfat";
    case Disk::Bindfs: return "Bindfs";
  }
  return "";
}

bool isFat(Disk disk) { return disk == Disk::Fat || disk == Disk::Exfat; }

DiskMount::DiskMount(Disk disk, bool traceSyncs) {
  if (disk == Disk::Local) {
    root_ = base_.path().string();
    return;
  }
  root_ = base_.file("disk");
  std::filesystem::create_directory(root_);
  if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) {
    why_ = "FUSE mounts need root and /dev/fuse";
  } else if (!mount(disk, traceSyncs) && why_.empty()) {
    why_ = std::string("mounting ") + nameOf(disk) + " failed (exFAT needs a loop device)";
  }
}

bool DiskMount::mount(Disk disk, bool traceSyncs) {
  const std::string image = base_.file("disk.img"), source = base_.file("source");
  trace_ = base_.file("syncs.log");
  std::filesystem::create_directory(source);
  struct Way {
    const char* tools;
    std::string command;
  };
  const Way ways[] = {
      {"", ""},
      {"fusefat mkfs.vfat", "truncate -s 32M " + image + " && mkfs.vfat " + image + " && fusefat -o rw+ " + image + " " + root_},
      // exfat-fuse wants a block device; the loop device goes once the disk is unmounted
      {"mount.exfat-fuse mkfs.exfat losetup", "truncate -s 32M " + image + " && mkfs.exfat " + image +
                                                  " && L=$(losetup -f --show " + image + ") && mount.exfat-fuse $L " +
                                                  root_ + "; losetup -d $L"},
      {traceSyncs ? "bindfs strace" : "bindfs",
       (traceSyncs ? "strace -f -qq -e trace=fsync,fdatasync -o " + trace_ + " " : std::string()) + "bindfs " + source +
           " " + root_ + " &"}};
  const Way& way = ways[static_cast<int>(disk)];
  std::istringstream tools(way.tools);
  for (std::string tool; tools >> tool;) {
    if (!succeeds("command -v " + tool)) {
      why_ = tool + " is not installed (scripts/deps installs it)";
      return false;
    }
  }
  succeeds(way.command);
  for (int i = 0; i < 100 && !isMountPoint(root_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  mounted_ = isMountPoint(root_);
  return mounted_;
}

DiskMount::~DiskMount() {
  for (int i = 0; mounted_ && i < 50 && !succeeds("umount " + root_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

int DiskMount::syncsSeen() const {
  std::ifstream log(trace_);
  int syncs = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.find("sync(") != std::string::npos && line.find("= 0") != std::string::npos) ++syncs;
  }
  return syncs;
}

}  // namespace zwp::test
