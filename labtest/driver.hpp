// The laboratory-test driver: one test as phases and load steps applied to a
// single material point, with the state recorded after every accepted step.
#pragma once

#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::labtest {

struct LabTestRun {
  // 0 every step accepted; 1 point initialisation failed; 2 cap-parameter
  // routine failed; 3 a load step did not converge.
  int status = 0;
  // 0 until the first step is accepted, then 1 + accepted steps.
  int nRecorded = 0;
  // A cyclic test that liquefied (labtest/cyclic.hpp) before its last step:
  // status 0, the points recorded up to liquefaction.
  bool liquefied = false;
};

// Loads the test's description into the context and checks the material.
void PrepareLabTest(SimulationContext& ctx, const input::LabTest& test);
// Runs the prepared test.
LabTestRun RunLabTest(SimulationContext& ctx);

}  // namespace soilcal::labtest
