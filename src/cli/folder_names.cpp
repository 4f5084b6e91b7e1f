#include "cli/folder_names.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>

namespace zwp::cli {

namespace {

namespace fs = std::filesystem;

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

enum class Answer { Folds, Exact, Unknown };

// What the file system type alone tells.
Answer byFileSystem(const std::string& folder) {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) return Answer::Unknown;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x4D44:      // vfat, msdos
    case 0x2011BAB0:  // exfat
    case 0x7366746E:  // ntfs3
      return Answer::Folds;
    case 0xEF53: {  // ext4: folding is a property of each folder
      const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return Answer::Unknown;
      long flags = 0;
      const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
      ::close(fd);
      return !known ? Answer::Unknown : (flags & FS_CASEFOLD_FL) ? Answer::Folds : Answer::Exact;
    }
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
      return Answer::Exact;
    default:  // FUSE (fusefat, exfat-fuse, ntfs-3g, bindfs …), network and others: ask the folder
      return Answer::Unknown;
  }
}

std::string swappedCase(std::string name) {
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
  }
  return name;
}

// Asks the folder with an entry it holds: looked up with its letters in the
// other case, is it still found, without being a second entry of that name?
Answer byEntryIn(const std::string& folder, const std::string& name, const std::set<std::string>& entries) {
  const std::string swapped = swappedCase(name);
  if (swapped == name) return Answer::Unknown;
  if (entries.count(swapped) != 0) return Answer::Exact;
  struct stat st {};
  return ::lstat((fs::path(folder) / swapped).c_str(), &st) == 0 ? Answer::Folds : Answer::Exact;
}

Answer byEntries(const std::string& folder) {
  std::set<std::string> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator() && entries.size() < 1000; it.increment(ec)) {
    entries.insert(it->path().filename().string());
  }
  for (const std::string& name : entries) {
    if (const Answer a = byEntryIn(folder, name, entries); a != Answer::Unknown) return a;
  }
  return Answer::Unknown;
}

}  // namespace

std::string foldedName(const std::string& name) {
  const QString text = QString::fromUtf8(name);
  if (text.toUtf8().toStdString() != name) {
    // Not UTF-8: only the ASCII letters are known to fold.
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  }
  return text.normalized(QString::NormalizationForm_C).toCaseFolded().toUtf8().toStdString();
}

bool FolderNames::foldsCase(const std::string& folder) {
  auto [it, fresh] = folds_.try_emplace(folder, true);
  if (!fresh) return it->second;
  Answer a = byFileSystem(folder);
  if (a == Answer::Unknown) a = byEntries(folder);
  // A folder without entries to ask: its own name in its parent, on the same disk.
  const fs::path path(folder);
  if (a == Answer::Unknown && path.has_parent_path() && path.has_filename()) {
    const std::string parent = path.parent_path().string();
    struct stat here {}, above {};
    if (::stat(folder.c_str(), &here) == 0 && ::stat(parent.c_str(), &above) == 0 && here.st_dev == above.st_dev) {
      std::set<std::string> entries;
      std::error_code ec;
      if (fs::exists(fs::path(parent) / swappedCase(path.filename().string()), ec)) {
        for (const auto& e : fs::directory_iterator(parent, ec)) entries.insert(e.path().filename().string());
      }
      a = byEntryIn(parent, path.filename().string(), entries);
    }
  }
  it->second = a != Answer::Exact;
  return it->second;
}

std::string FolderNames::keyOf(const std::string& folder, const std::string& name) {
  return folder + '/' + (foldsCase(folder) ? foldedName(name) : name);
}

}  // namespace zwp::cli
