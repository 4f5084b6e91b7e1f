#include "core/file_system.h"

#include <sys/vfs.h>

namespace zwp {

namespace {

FileSystem kindOf(unsigned long magic) {
  switch (magic) {
    case 0xEF53: return FileSystem::Ext;  // ext2, ext3, ext4
    case 0x58465342: return FileSystem::Xfs;
    case 0x9123683E: return FileSystem::Btrfs;
    case 0xF2F52010: return FileSystem::F2fs;
    case 0x01021994: return FileSystem::Tmpfs;
    case 0x858458F6: return FileSystem::Ramfs;
    case 0x4D44: return FileSystem::Fat;  // vfat, msdos
    case 0x2011BAB0: return FileSystem::Exfat;
    case 0x7366746E: return FileSystem::Ntfs3;
    case 0x3153464A: return FileSystem::Jfs;
    case 0x794C7630: return FileSystem::Overlay;
    case 0x65735546: return FileSystem::Fuse;  // fuse and fuseblk
    default: return FileSystem::Other;
  }
}

}  // namespace

FileSystem fileSystemOf(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 ? kindOf(static_cast<unsigned long>(fs.f_type)) : FileSystem::Other;
}

FileSystem fileSystemAt(const std::string& path) {
  struct statfs fs {};
  return ::statfs(path.c_str(), &fs) == 0 ? kindOf(static_cast<unsigned long>(fs.f_type)) : FileSystem::Other;
}

bool syncfsReachesStorage(FileSystem fs) {
  // overlayfs syncs its upper file system.
  return fs != FileSystem::Fuse && fs != FileSystem::Other;
}

}  // namespace zwp
