// The child processes of a batch: each job runs as a run of the program
// itself (/proc/self/exe) with one thread, its console output in a log file
// in its output folder, at most `parallel` at once and never two in one
// folder, so a crash or a kernel error in one touches no other.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_job.hpp"

namespace soilcal::batch {

struct BatchRunSettings {
  std::string program;                    // argv[0] of the batch, passed on
  std::vector<std::string> childOptions;  // before --exit-status and the path
  int parallel = 1;                       // jobs at once
};

// Runs the jobs, calling `finished` for each job when it ends (in the order
// they end). An interrupt (Ctrl-C, SIGTERM) of the batch is passed on once
// to every running job, which ends as an aborted run (exit code 18), and no
// further job starts; jobs never started keep started = false.
void RunChildren(const BatchRunSettings& settings, std::vector<BatchJob>& jobs,
                 const std::function<void(const BatchJob&)>& finished);

// Cores this process may run on (its CPU affinity), at least 1.
int AvailableCores();

}  // namespace soilcal::batch
