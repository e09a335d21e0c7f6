// One lab-test file simulated with its own material parameters, as
// soilcal-labtest and the Python module's simulate() run it.
#pragma once

#include <optional>
#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"

namespace soilcal::labtest {

struct TestFileRun {
  input::LabTest test;       // the file as read
  LabTestRun run;            // status and recorded points
  int nPoints = 0;           // points that hold a state (point 1 once initialised)
  Recording rec;             // time, strains, stresses and pore pressure of each point
  // A kernel error that ended the test; the points recorded before it stay.
  std::optional<services::KernelAbort> kernelError;
};

// Reads and simulates the lab-test file `path`; the Sekiguchi-Ohta models
// run when `extendedModels` asks for them or the flag file
// "extended_models" lies beside the file. The reader's "Header line" echo
// goes to `console` (nullptr: stdout). Run errors (a missing or wrong file,
// the cap library of the Hardening Soil models) leave as services::RunError.
// `solver` solves the load steps; `stopAtLiquefaction` ends a cyclic test
// where it liquefies.
struct SimulationOptions {
  StepSolver solver = StepSolver::kPrescribed;
  bool stopAtLiquefaction = false;
};
TestFileRun SimulateTestFile(const std::string& path, services::ConsoleSink* console,
                             bool extendedModels = false, const SimulationOptions& options = {});

}  // namespace soilcal::labtest
