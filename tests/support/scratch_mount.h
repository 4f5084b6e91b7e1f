// A small tmpfs mounted over a fresh folder for the length of a test, when the
// tests run as root (mounted() says whether it is there); unmounted at the end.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace zwp::test {

class ScratchMount {
 public:
  ScratchMount(const std::string& at, unsigned long flags, const char* options) : path_(at) {
    std::filesystem::create_directory(at);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", flags, options) == 0;
  }
  ~ScratchMount() {
    if (mounted_) ::umount(path_.c_str());
  }
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace zwp::test
