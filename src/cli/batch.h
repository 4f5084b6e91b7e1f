// zwpconv: converts many files at once from the command line, by the same
// acceptance rules and with byte-identical results to the window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/options.h"

namespace zwp::cli {

// Exit statuses.
inline constexpr int kAllConverted = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kBadUsage = 2;

// Runs a parsed command: results to out, messages to err; a progress line
// "n/N" on err when progress is set. Returns the exit status.
int run(const Options& options, std::ostream& out, std::ostream& err, bool progress);

// The whole program: parse, then run (or print help, version or usage error).
int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace zwp::cli
