#include "cli/folder_names.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>

#include "core/file_system.h"

namespace zwp::cli {

namespace {

namespace fs = std::filesystem;

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

enum class Answer { Folds, Exact, Unknown };

// What the file system type alone tells.
Answer byFileSystem(FileSystem type, const std::string& folder) {
  switch (type) {
    case FileSystem::Fat:
    case FileSystem::Exfat:
    case FileSystem::Ntfs3:
      return Answer::Folds;
    case FileSystem::Ext:
    case FileSystem::F2fs: {  // folding is a property of each folder
      const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return Answer::Unknown;
      long flags = 0;
      const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
      ::close(fd);
      return !known ? Answer::Unknown : (flags & FS_CASEFOLD_FL) ? Answer::Folds : Answer::Exact;
    }
    case FileSystem::Xfs:
    case FileSystem::Btrfs:
    case FileSystem::Tmpfs:
    case FileSystem::Ramfs:
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

// The UTF-8 character at i as a code point, advancing i; an invalid
// sequence gives no value.
std::optional<char32_t> nextCodePoint(const std::string& text, size_t& i) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > text.size()) return std::nullopt;
  char32_t c = static_cast<char32_t>(length == 1 ? lead : lead & (0xFF >> (length + 1)));
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return c;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One code point as the rule compares it, appended to the key.
void appendKey(std::string& key, char32_t c, NameRule rule) {
  static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (!unicode) {  // no Unicode tables: ASCII letters alone
    appendUtf8(key, c < 0x80 ? static_cast<char32_t>(std::toupper(static_cast<int>(c))) : c);
    return;
  }
  auto upper = static_cast<char32_t>(::towupper_l(static_cast<wint_t>(c), unicode));
  if (rule == NameRule::UpperCase) return appendUtf8(key, upper);
  // Case folding: what upper-casing joins, lower-cased again, joins what
  // lower-casing joins too (the Kelvin sign and k); sharp s folds to "ss".
  if (c == U'ß' || c == U'ẞ') {
    key += "ss";
    return;
  }
  appendUtf8(key, static_cast<char32_t>(::towlower_l(static_cast<wint_t>(upper), unicode)));
}

}  // namespace

std::string nameKey(const std::string& name, NameRule rule) {
  if (rule == NameRule::Exact) return name;
  std::string key;
  for (size_t i = 0; i < name.size();) {
    if (const auto c = nextCodePoint(name, i)) {
      appendKey(key, *c, rule);
    } else {  // not UTF-8: a byte alone
      key += static_cast<char>(std::toupper(static_cast<unsigned char>(name[i++])));
    }
  }
  return key;
}

NameRule FolderNames::ruleOf(const std::string& folder) {
  auto [it, fresh] = rules_.try_emplace(folder, NameRule::CaseFold);
  if (!fresh) return it->second;
  const FileSystem type = fileSystemAt(folder);
  Answer a = byFileSystem(type, folder);
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
  if (a == Answer::Exact) {
    it->second = NameRule::Exact;
  } else if (type == FileSystem::Ext || type == FileSystem::F2fs) {
    it->second = NameRule::CaseFold;
  } else if (type == FileSystem::Other) {
    // A network or unknown disk that folds, by whichever rule: names equal by
    // either are taken as one, so that no two results ever share a file.
    it->second = NameRule::CaseFold;
  } else {
    // FAT, exFAT and NTFS compare by upper-case tables, in the kernel and in
    // their FUSE servers alike.
    it->second = NameRule::UpperCase;
  }
  return it->second;
}

std::string FolderNames::keyOf(const std::string& folder, const std::string& name) {
  return folder + '/' + nameKey(name, ruleOf(folder));
}

}  // namespace zwp::cli
