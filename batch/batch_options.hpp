// The command line of a batch run: two or more job paths, or a list of them
// (--jobs-from FILE), with the options every job gets.
#pragma once

#include <string>
#include <vector>

namespace soilcal::batch {

struct BatchOptions {
  std::vector<std::string> jobs;          // job paths in the order given
  std::vector<std::string> childOptions;  // the options of every job's run
  bool exitStatus = false;                // --exit-status: the worst job status
  int parallel = 0;                       // --jobs=N; 0 = one job per core
  std::string jobsFrom;                   // --jobs-from FILE ("" none)
  std::string problem;                    // why the batch cannot start ("" none)
};

// True when the command line names two or more jobs, or a list of jobs,
// and asks for none of --help, --version, --write-native and --write-toml:
// a batch run. One path stays a single run as before.
bool IsBatchCommand(int argc, char** argv);

// Reads the batch's command line, and the job list of --jobs-from: one path
// a line, blank lines and lines beginning with '#' skipped, a path relative
// to the current folder as on the command line. Paths named on the command
// line come first, then those of the list.
BatchOptions ParseBatchCommandLine(int argc, char** argv);

}  // namespace soilcal::batch
