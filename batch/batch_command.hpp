// Batch runs: "soilcal JOB1 JOB2 ..." or "soilcal --jobs-from FILE" runs
// each job as a single run of its own, several at once, prints one line per
// finished job and writes batch_summary.csv in the current folder.
#pragma once

namespace soilcal::batch {

// Runs the batch of the command line (run/batch_options.hpp). Returns the
// process status: with --exit-status the worst (highest) status of its
// jobs, else 0; 2 when no job is named, 12 when the job list cannot be read.
int RunBatchCommand(int argc, char** argv);

}  // namespace soilcal::batch
