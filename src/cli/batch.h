// zwpconv: converts many files at once from the command line, by the same
// acceptance rules and with byte-identical results to the window.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/plan.h"

namespace zwp::cli {

struct Options {
  std::vector<std::string> files;
  std::string outputDir;  // empty: next to each input
  Target target = Target::ByExtension;
  bool force = false;
  bool info = false;
  bool help = false;
  bool version = false;
};

// Exit statuses.
inline constexpr int kAllConverted = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kBadUsage = 2;

// Parses the arguments after the program name. On a usage error, returns no
// value and describes the error in `error`.
std::optional<Options> parseArguments(const std::vector<std::string>& args, std::string& error);

// Runs a parsed command: results to out, messages to err; a progress line
// "n/N" on err when progress is set. Returns the exit status.
int run(const Options& options, std::ostream& out, std::ostream& err, bool progress);

// The whole program: parse, then run (or print help, version or usage error).
int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace zwp::cli
