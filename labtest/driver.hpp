// The laboratory-test driver: one test as phases and load steps applied to a
// single material point, with the state recorded after every accepted step.
#pragma once

#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/cyclic.hpp"

namespace soilcal::labtest {

// The load step that ended a test with status 3: where it stood and how
// far its iteration got.
struct StepFailure {
  int point = 0;                 // the point the step would have recorded
  int phase = 0, step = 0;       // 1-based, the step counted within its phase
  double time = 0.0;             // at the start of the step
  double error = 0.0;            // final relative error of the iteration
  double limit = 0.0;            // the largest error accepted (25 x tolerance)
  int iterations = 0, maxIterations = 0;
  double ru = 0.0, shearStrain = 0.0;  // at the start of the step
  bool subSteps = false;         // sub-steps by the fast iteration failed too
};

struct LabTestRun {
  // 0 every step accepted (or a cyclic test stopped at liquefaction on
  // request); 1 point initialisation failed; 2 cap-parameter routine
  // failed; 3 a load step did not converge.
  int status = 0;
  // 0 until the first step is accepted, then 1 + accepted steps.
  int nRecorded = 0;
  // A cyclic test (labtest/cyclic.hpp) that met a criterion of liquefaction.
  bool cyclic = false;
  bool liquefied = false;
  // It ended there because the run asked to stop at liquefaction.
  bool stoppedAtLiquefaction = false;
  LiquefactionWatch liquefaction;
  StepFailure failure;     // status 3
  int subSteppedSteps = 0;  // failed steps carried in sub-steps (model 34)
  int resolvedSteps = 0;    // accepted steps solved again in finer sub-steps (model 34)
};

// The run's outcome in sentences for a person: the status, where a load
// step did not converge (error, limit, r_u, shear strain, cycle, and the
// fast solver as the remedy when `solverWasFast` is false), and when a
// cyclic test liquefied. Ends with a newline; empty for a plain completed
// test.
std::string DescribeRun(const LabTestRun& run, bool solverWasFast);

// Loads the test's description into the context and checks the material.
void PrepareLabTest(SimulationContext& ctx, const input::LabTest& test);
// Runs the prepared test.
LabTestRun RunLabTest(SimulationContext& ctx);

}  // namespace soilcal::labtest
