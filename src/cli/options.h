// zwpconv's command line: one table of options from which both the parser and
// the help text are made, so that the two cannot drift apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/plan.h"

namespace zwp::cli {

struct Options {
  std::vector<std::string> files;
  std::string outputDir;  // empty: next to each input
  Target target = Target::ByExtension;
  bool fromEmblem = false;        // every input is an emblem, whatever its name
  int32_t background = 0xFFFFFF;  // what transparency is flattened over: white
  int32_t fit = 0;                // shrink to fit inside fit x fit; 0: refuse what is too large
  bool dither = false;
  bool recursive = false;
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
