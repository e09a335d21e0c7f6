// Which model fits: the two doors of a comparison.
//
//   soilcal [OPTIONS] JOB.toml            a TOML job of [[models]]: each model
//                                         calibrated into JOB.out/<model>/,
//                                         the comparison into JOB.out/
//   soilcal [OPTIONS] --compare A/OPTIM.TXT B/OPTIM.TXT ...
//                                         native jobs on the same tests: each
//                                         run in its folder (or its finished
//                                         run reused), the comparison into
//                                         the current folder
#pragma once

#include <string>

namespace soilcal::compare {

// True when the command line holds --compare (and neither --help nor
// --version, which print as always).
bool IsCompareCommand(int argc, char** argv);

// soilcal [OPTIONS] --compare JOB... Returns the process status: under
// --exit-status the highest status of the runs, the exit code that stopped
// the comparison (2 fewer than two jobs, a reader's code, 11 tests that
// differ) or 74 for a comparison file not written; else 0.
int RunCompareCommand(int argc, char** argv);

// soilcal [OPTIONS] JOB.toml where the job holds [[models]]; argv[pathIndex]
// is the job file. The process status as above.
int RunModelComparison(int argc, char** argv, int pathIndex);

}  // namespace soilcal::compare
