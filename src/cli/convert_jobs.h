// Running the jobs of a planned batch: converting on every core, then making
// the new files durable a group at a time and only then giving them names.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/plan.h"
#include "convert/pipeline.h"
#include "core/file_writer.h"

namespace zwp::cli {

// Called on the calling thread for every job, in order, once its file has its
// name (failure empty) or has failed, was refused or skipped (failure says why).
using JobReport = std::function<void(size_t job, const std::string& failure)>;

// Converts every job, each read under the settings with its own target.
void convertJobs(const std::vector<Job>& jobs, const ReadOptions& settings, IfExists ifExists, const JobReport& report);

}  // namespace zwp::cli
