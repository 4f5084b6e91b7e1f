#include "core/pending_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace zwp {

namespace {

// Plain atomics and fixed storage: the signal handler may touch nothing else.
struct PendingFile {
  std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 ready
  int dirFd = -1;
  std::atomic<bool> onlyWhileEmpty{false};
  char name[NAME_MAX + 1] = {};
};
std::array<PendingFile, 256> pending;

extern "C" void removePendingFiles(int signal) {
  for (PendingFile& p : pending) {
    if (p.state.load() != 2) continue;
    struct stat st {};
    if (p.onlyWhileEmpty && (::fstatat(p.dirFd, p.name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_size != 0)) continue;
    ::unlinkat(p.dirFd, p.name, 0);
  }
  // The handler was reset to the default on entry; the signal now ends the process as it would have.
  ::raise(signal);
}

void installSignalCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = removePendingFiles;
      action.sa_flags = static_cast<int>(SA_RESETHAND);
      sigemptyset(&action.sa_mask);
      ::sigaction(sig, &action, nullptr);
    }
  });
}

}  // namespace

int rememberPending(int dirFd, const std::string& name, Pending kind) {
  installSignalCleanup();
  if (name.size() > NAME_MAX) return -1;
  for (size_t i = 0; i < pending.size(); ++i) {
    int expected = 0;
    if (pending[i].state.compare_exchange_strong(expected, 1)) {
      pending[i].dirFd = dirFd;
      pending[i].onlyWhileEmpty = kind == Pending::WhileEmpty;
      std::snprintf(pending[i].name, sizeof pending[i].name, "%s", name.c_str());
      pending[i].state.store(2);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void removeEvenWhenFilled(int slot) {
  if (slot >= 0) pending[static_cast<size_t>(slot)].onlyWhileEmpty.store(false);
}

void forgetPending(int& slot) {
  if (slot >= 0) pending[static_cast<size_t>(slot)].state.store(0);
  slot = -1;
}

}  // namespace zwp
