#include "core/disk_ways.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

namespace zwp {

namespace {

// Whether the disk is mounted by fusefat.
bool mountedByFusefat(dev_t device) {
  std::ifstream mounts("/proc/self/mountinfo");
  const std::string id = std::to_string(major(device)) + ':' + std::to_string(minor(device));
  for (std::string line; std::getline(mounts, line);) {
    std::istringstream fields(line);
    std::string mountId, parentId, deviceId;
    fields >> mountId >> parentId >> deviceId;
    if (deviceId != id) continue;
    const size_t separator = line.find(" - ");
    return separator != std::string::npos && line.compare(separator + 3, 13, "fuse.fusefat ") == 0;
  }
  return false;
}

// The answer for a disk, found out once; `noted` marks it as failing.
bool renamesFail(dev_t device, bool noted) {
  static std::mutex mutex;
  static std::vector<std::pair<dev_t, bool>> devices;
  std::lock_guard lock(mutex);
  auto known = std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.first == device; });
  if (known == devices.end()) known = devices.insert(devices.end(), {device, mountedByFusefat(device)});
  if (noted) known->second = true;
  return known->second;
}

}  // namespace

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

bool writeAll(int fd, const uint8_t* data, size_t count, int& error) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      return false;
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

int renameNoReplace(int dirFd, const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  return ::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE);
#else
  (void)dirFd, (void)from, (void)to;
  errno = ENOSYS;
  return -1;
#endif
}

bool notSupported(int e) { return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP || e == EPERM; }

bool renamesFailOn(dev_t device) { return renamesFail(device, false); }
void noteRenamesFail(dev_t device) { renamesFail(device, true); }

}  // namespace zwp
