// The batch table (written as batch_summary.csv): one row per job of a batch, in the order of the list.
#pragma once

#include <string>
#include <vector>

#include "batch/batch_job.hpp"

namespace soilcal::batch {

inline constexpr const char* kBatchTableFileName = "batch_summary.csv";

// The table: job, exit_code, exit_name, mean_relative_error, objective,
// evaluations, wall_time_s, then one column per free parameter name with
// its unit when the job's summary gives one (in the order the names first
// appear). Fields that are not known stay empty;
// text with commas, quotes or line ends is quoted.
std::string BatchTableCsv(const std::vector<BatchJob>& jobs);

// What a job's status means: "" for 0, the run error's name, "kernel
// error", "USER_ABORT (not started)" for a job an interrupted batch never
// started (its status is 18, as if it had been aborted at once), or the
// signal that ended it.
std::string StatusName(const BatchJob& job);

}  // namespace soilcal::batch
