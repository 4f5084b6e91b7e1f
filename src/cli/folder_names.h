// How a folder compares file names: many disks players use (FAT, exFAT, NTFS,
// ext4 folders with casefold) take "K.zwp" and "k.zwp" for the same file.
#pragma once

#include <string>
#include <unordered_map>

namespace zwp::cli {

class FolderNames {
 public:
  // A key under which two names in the folder are equal exactly when the
  // folder takes them for the same file. Where that cannot be told, names
  // are compared as a case-folding folder would, so that a clash is never
  // missed.
  std::string keyOf(const std::string& folder, const std::string& name);

 private:
  bool foldsCase(const std::string& folder);
  std::unordered_map<std::string, bool> folds_;
};

// The name with its letters in lower case, by Unicode's rules (ASCII alone
// where it is not UTF-8).
std::string foldedName(const std::string& name);

}  // namespace zwp::cli
