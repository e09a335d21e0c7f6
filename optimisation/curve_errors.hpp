// Each curve's fit at one parameter vector: the per-curve relative error and
// the simulated points, computed with the objective's own comparison.
#pragma once

#include <span>
#include <vector>

#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::optimisation {

struct CurveError {
  int nPoints = 0;        // measured points
  int nValid = 0;         // measured points inside the simulated range
  double error = 0.0;     // mean absolute relative deviation, percent (S1 / nValid)
  double objective = 0.0; // mean squared relative deviation (S2 / nValid)
  int nUninformative = 0; // anchors, points outside the simulated range or at 0
  // Simulated points in the column order of the curve file (as the
  // "_referenced" and "_calculated" files hold them).
  std::vector<double> x, y;
};

struct TestErrors {
  int status = 0;      // status of the test run (0, -3 usable)
  int nRecorded = 0;
  double error = 0.0;      // the test's share of the mean relative error
  double objective = 0.0;  // the test's share of the objective
  bool smallOverlap = false;
  std::vector<CurveError> curves;  // one per measured curve
};

struct JobErrors {
  double meanError = 0.0;  // mean over the tests, percent
  double objective = 0.0;  // sum over the tests
  bool usable = true;      // every test ran and every curve overlapped
  std::vector<TestErrors> tests;
};

// Simulates every test at x (with keepTestParameters the materials of the
// test files instead) and compares each curve with its measurement. Unlike
// the objective it does not stop at the first failed test or inadmissible
// vector: every test is reported with what its run recorded.
JobErrors CurveErrors(const input::Job& job, labtest::SimulationContext& ctx,
                      std::span<const double> x, bool keepTestParameters);

}  // namespace soilcal::optimisation
