// zwpconv run in the test's own process, its output caught.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"

namespace zwp::test {

struct ZwpconvRun {
  int status;
  std::string out, err;
};

inline ZwpconvRun zwpconv(const std::vector<std::string>& args, bool terminal = false) {
  std::ostringstream out, err;
  const int status = cli::main(args, out, err, terminal);
  return {status, out.str(), err.str()};
}

}  // namespace zwp::test
