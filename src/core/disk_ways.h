// What a disk offers a writer, asked once per disk: the small system calls
// FileWriter builds on, and the ways some file systems differ from POSIX.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace zwp {

// A hidden name nobody can guess: ".zwp-" and 64 random bits.
std::string randomTempName();
// Writes all bytes; false with the error number when the disk took fewer.
bool writeAll(int fd, const uint8_t* data, size_t count, int& error);
// renameat2 with RENAME_NOREPLACE where the C library has it; elsewhere it
// fails as an old kernel would, and the caller links instead.
int renameNoReplace(int dirFd, const char* from, const char* to);
// What a file system answers for an operation it does not have at all.
bool notSupported(int errnoValue);

// Disks on which a new file must go straight into its reservation, because
// renaming over it fails or does harm there (fusefat, whose renames and
// removals damage a folder once it outgrows its first cluster).
bool renamesFailOn(dev_t device);
// Notes that renaming over a reservation failed on the disk.
void noteRenamesFail(dev_t device);

}  // namespace zwp
