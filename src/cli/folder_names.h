// How a folder compares file names: many disks players use (FAT, exFAT, NTFS,
// ext4 folders with casefold) take "K.zwp" and "k.zwp" for the same file, and
// each by its own rule.
#pragma once

#include <string>
#include <unordered_map>

namespace zwp::cli {

// How a file system compares names: exactly; by an upper-case table, as FAT,
// exFAT and NTFS do ("σ" and "ς" are one name, the Kelvin sign "K" and "k"
// two); or by Unicode's case folding, as ext4 and f2fs folders with casefold
// do ("σ", "ς" one name, "K", "k" one name, "ß" and "ss" one name).
enum class NameRule { Exact, UpperCase, CaseFold };

class FolderNames {
 public:
  // A key under which two names in the folder are equal exactly when the
  // folder takes them for the same file. Where that cannot be told, names
  // are compared as a case-folding folder would, so that a clash is never
  // missed.
  std::string keyOf(const std::string& folder, const std::string& name);
  NameRule ruleOf(const std::string& folder);

 private:
  std::unordered_map<std::string, NameRule> rules_;
};

// The name as the rule compares it, by Unicode's letters whatever the user's
// locale (ASCII alone where the name is not UTF-8): equal keys, one file.
std::string nameKey(const std::string& name, NameRule rule);

}  // namespace zwp::cli
