// zwpconv's command line: one table of options from which both the parser and
// the help text are made, so that the two cannot drift apart.
#pragma once

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

// Parses the arguments after the program name. On a usage error, returns no
// value and describes the error in `error`.
std::optional<Options> parseArguments(const std::vector<std::string>& args, std::string& error);

// The whole --help text.
std::string helpText();

}  // namespace zwp::cli
