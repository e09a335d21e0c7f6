// Native jobs of a comparison (soilcal --compare A/OPTIM.TXT B/OPTIM.TXT):
// read with the program's own readers, checked to calibrate on the same
// tests and measured curves, and a finished run of each reused when its
// summary belongs to the job as it is now.
#pragma once

#include <optional>
#include <string>

#include "input/records.hpp"

namespace soilcal::compare {

struct ComparedJob {
  std::string path;    // the optimisation file as given
  std::string folder;  // its folder as a program path, with separator ("" = current)
  input::Job job;      // settings, tests and measured curves as read
};

// Reads the job's optimisation file, lab-test files and curve files.
// Throws services::RunError with the reader's code and cause.
ComparedJob ReadComparedJob(const std::string& path);

// Throws services::RunError (exit code 11) naming the first difference of
// `other`'s tests from `first`'s: the number of tests, the units, the
// loading of a test (initial stress, phases, prescribed increments and
// controls, times), its curves' quantities or measured points.
void CheckSameTests(const ComparedJob& first, const ComparedJob& other);

// True when the folder holds the summary of a successful run of the job as
// it is now: the same optimisation file, free slots, tests and curves, the
// simulated curves of the best point beside them, written after every input
// file was last changed, and of the search `search` when one is given
// ("default", "thorough").
bool FinishedRunMatches(const ComparedJob& job, const std::optional<std::string>& search);

}  // namespace soilcal::compare
