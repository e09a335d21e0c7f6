// soilcal new MODEL[,MODEL...] FILE... [-o JOB.toml] [--force]
//   [--specimen LOCATION:DEPTH:REF]...
// writes a TOML job whose start values and bounds are read off the measured
// tests (jobfile/new_job.hpp): the job's path on standard output, the table
// of derived values on standard error. An existing file is replaced only
// with --force.
#pragma once

namespace soilcal::jobs {

bool IsNewCommand(int argc, char** argv);
int RunNewCommand(int argc, char** argv);

}  // namespace soilcal::jobs
