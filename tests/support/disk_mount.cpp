#include "support/disk_mount.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace zwp::test {

namespace {

bool succeeds(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool have(const char* program) { return succeeds(std::string("command -v ") + program); }

std::string outputOf(const std::string& command) {
  std::string text;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) text += buffer;
    ::pclose(p);
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
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
    why_ = std::string("mounting ") + nameOf(disk) + " failed";
  }
}

bool DiskMount::mount(Disk disk, bool traceSyncs) {
  const std::string image = base_.file("disk.img");
  auto need = [&](std::initializer_list<const char*> programs) {
    for (const char* p : programs) {
      if (!have(p)) why_ = std::string(p) + " is not installed (scripts/deps installs it)";
    }
    return why_.empty();
  };
  switch (disk) {
    case Disk::Local: return true;
    case Disk::Fat:
      if (!need({"fusefat", "mkfs.vfat"})) return false;
      mounted_ = succeeds("truncate -s 32M " + image + " && mkfs.vfat " + image) &&
                 succeeds("fusefat -o rw+ " + image + " " + root_);
      break;
    case Disk::Exfat: {
      if (!need({"mount.exfat-fuse", "mkfs.exfat", "losetup"})) return false;
      if (!succeeds("truncate -s 32M " + image + " && mkfs.exfat " + image)) return false;
      const std::string loop = outputOf("losetup -f --show " + image + " 2>/dev/null");
      if (loop.empty()) {
        why_ = "exfat-fuse needs a loop device, and none could be set up";
        return false;
      }
      mounted_ = succeeds("mount.exfat-fuse " + loop + " " + root_);
      succeeds("losetup -d " + loop);  // the device goes away by itself once the disk is unmounted
      break;
    }
    case Disk::Bindfs: {
      if (!need({"bindfs"})) return false;
      const std::string source = base_.file("source");
      std::filesystem::create_directory(source);
      if (!traceSyncs) {
        mounted_ = succeeds("bindfs " + source + " " + root_);
        break;
      }
      if (!need({"strace"})) return false;
      trace_ = base_.file("syncs.log");
      tracer_ = ::fork();
      if (tracer_ == 0) {
        ::execlp("strace", "strace", "-f", "-qq", "-e", "trace=fsync,fdatasync", "-o", trace_.c_str(), "bindfs", "-f",
                 source.c_str(), root_.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
      }
      for (int i = 0; i < 100 && !isMountPoint(root_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      mounted_ = isMountPoint(root_);
      break;
    }
  }
  return mounted_;
}

DiskMount::~DiskMount() {
  if (mounted_) {
    for (int i = 0; i < 50 && !succeeds("umount " + root_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (tracer_ > 0) {
    if (!mounted_) ::kill(tracer_, SIGTERM);
    ::waitpid(tracer_, nullptr, 0);
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
