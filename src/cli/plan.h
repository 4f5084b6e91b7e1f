// Planning a batch before anything is written: which output each input gets,
// and which inputs must be skipped so that the run can never overwrite one of
// its own inputs or a result it wrote earlier.
#pragma once

#include <string>
#include <vector>

#include "core/byte_input.h"

namespace zwp::cli {

enum class Target { ByExtension, Emblem, Bitmap, Png };

struct Job {
  std::string input;
  std::string output;
  Target target = Target::ByExtension;
  bool emblemInput = false;
  FileKind inputKind = FileKind::Unknown;  // ListedRegular when its folder's listing says so
  std::string skip;  // why the job does not run, in German; empty when it runs
};

// One job per input, in order. An input is an emblem when it is named .zwp
// (or fromEmblem says so) and becomes a BMP by default; any other picture
// becomes an emblem. Without force an existing output is skipped; with force
// it is replaced, unless it is one of the batch's inputs (the same file by
// device and inode, or the same path) or the output of an earlier job. Paths
// are compared as their folders compare names, case-folding folders too.
std::vector<Job> planBatch(const std::vector<std::string>& inputs, const std::string& outputDir, Target forced,
                           bool fromEmblem, bool force);

}  // namespace zwp::cli
