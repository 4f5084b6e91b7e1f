// Files of ours that exist under a name only for now (hidden temporary files,
// reservations being filled): a fatal signal (Ctrl-C, kill, a closed
// terminal, a file too large) removes them before the process ends, so that
// no half-written file is left behind.
#pragma once

#include <string>

namespace zwp {

// Whether a file is removed whatever it holds, or only while it is still
// empty (a reservation that, once filled by us, is a published file).
enum class Pending { Always, WhileEmpty };

// Notes a file in dirFd; the slot to forget it by, or -1 when the registry is
// full (the file is then still removed on every failure but a fatal signal).
int rememberPending(int dirFd, const std::string& name, Pending kind = Pending::Always);
// From now on the file goes whatever it holds: we are filling it ourselves.
void removeEvenWhenFilled(int slot);
// The file is complete or gone: no signal may remove it any more.
void forgetPending(int& slot);

}  // namespace zwp
