// What the program needs to know of the file system a folder lies on: its
// kind, read from the kernel's magic number.
#pragma once

#include <string>

namespace zwp {

enum class FileSystem { Ext, Xfs, Btrfs, F2fs, Tmpfs, Ramfs, Fat, Exfat, Ntfs3, Jfs, Overlay, Fuse, Other };

FileSystem fileSystemOf(int fd);
FileSystem fileSystemAt(const std::string& path);

// Whether syncfs() writes everything out to the storage. A FUSE server never
// hears of a syncfs(), and network file systems may not either; on those and
// on any file system not known here each file has to be synced alone.
bool syncfsReachesStorage(FileSystem fs);

}  // namespace zwp
