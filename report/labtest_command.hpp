// What soilcal-labtest does once its options are read: simulates one
// laboratory-test file with the file's own material parameters, prints the
// recorded points on standard output (plain or with derived columns),
// writes the HTML page of the test when asked, and tells the status on
// standard error.
#pragma once

#include <string>

#include "labtest/test_file_run.hpp"

namespace soilcal::report {

struct LabTestCommand {
  std::string testFile;
  bool derived = false;         // add p, q, eps_v, eps_1 and the pore pressure
  bool extendedModels = false;  // --extended-models (or the flag file beside the test file)
  std::string reportFile;       // "" = no page
  labtest::SimulationOptions options;  // --solver, --stop-at-liquefaction
};

// The program's exit code: 0 when the simulation ended with status 0, else 1
// (a run error or kernel error is said on standard error first).
int RunLabTestCommand(const LabTestCommand& command);

}  // namespace soilcal::report
