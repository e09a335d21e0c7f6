// Simulated curves of one test run and their comparison with the measured
// curves, phase by phase.
#pragma once

#include <string>
#include <vector>

#include "input/curve_quantity.hpp"
#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::optimisation {

// One simulated curve per measured curve of `test`: same codes and flags,
// one segment per phase sized by its load steps, capacity points of which the
// first nRecorded hold CurveQuantity of the recorded points.
void BuildSimulatedCurves(std::vector<input::Curve>& sim, const input::LabTest& test,
                          const labtest::Recording& rec, int nRecorded);

// Shifts the simulated points of every later phase p (with measured points)
// so that its point PhaseFirstPoint(p) lands on the first measured point of
// the phase. Phases whose first point was not recorded stay as they are.
void ShiftPhases(const input::LabTest& test, const input::Curve& measured, input::Curve& sim,
                 int nRecorded);

// Simulated y at the x of measured point k (1-based) of phase p, linearly
// interpolated within the recorded points of the phase. Out of range: sets
// outOfRange and returns the measured y.
double InterpolateSimulated(const input::LabTest& test, const input::Curve& measured, int p,
                            int k, const input::Curve& sim, int nRecorded, bool& outOfRange);

// Deviation sums of one curve.
struct CurveFit {
  int nPoints = 0;      // N, measured points
  int nValid = 0;       // N less the points outside the simulated range
  double sumSquared = 0.0;  // S2: sum of squared relative deviations
  double sumAbsolute = 0.0; // S1: sum of absolute relative deviations
};

// Shifts (multi-segment curves), interpolates and sums the deviations of
// one measured curve against its simulated curve (shifted in place). With
// `deviations`, also appends (y - s) / y of every measured point with a
// measured |y| above 1e-15, NaN for the ones outside the simulated range.
CurveFit CompareCurve(const input::LabTest& test, const input::Curve& measured,
                      input::Curve& sim, int nRecorded,
                      std::vector<double>* deviations = nullptr);

// Measured points of one curve that cannot tell one parameter set from
// another: the first point of each shifted phase (the shift puts the
// simulated curve onto it), a first point that is the test's own start,
// points outside the simulated range (they add nothing) and points at 0
// (no relative error).
struct CurveInformation {
  int nPoints = 0;
  int nAnchors = 0;
  int nOutside = 0;
  int nZero = 0;
  int Uninformative() const { return nAnchors + nOutside + nZero; }
};

// The count for one measured curve against its simulated curve as built by
// BuildSimulatedCurves (shifted in place, as CompareCurve does).
CurveInformation InformationOf(const input::LabTest& test, const input::Curve& measured,
                               input::Curve& sim, int nRecorded);

// Fit of one test run: the mean over its curves of S2 / nValid (objective)
// and of S1 / nValid in percent (error). smallOverlap when a curve has fewer
// than half of its points (or none) inside the simulated range.
struct TestFit {
  double objective = 0.0;
  double error = 0.0;
  bool smallOverlap = false;
};

// Builds the simulated curves of the run into `sim` and compares them with
// the measured curves of `test`. With `residuals`, also appends the test's
// terms of the objective: each deviation of CompareCurve weighted by
// 1 / sqrt(nValid x number of curves), so that their squares sum to the
// test's objective.
TestFit FitRecordedTest(const input::LabTest& test, const labtest::Recording& rec,
                        int nRecorded, std::vector<input::Curve>& sim,
                        std::vector<double>* residuals = nullptr);

// The simulated-curve file of the measured curve file `curveFile` (its path
// in the job) for `suffix` ("_referenced", "_calculated"): beside the
// measured file under its full path, with the suffix appended.
std::string SimulatedCurveName(const std::string& curveFile, const std::string& suffix);

// Writes one simulated-curve file: " xcode ycode", then " x y" per recorded
// point; a swapped curve has its two columns exchanged, header included. The
// file is replaced whole (a temporary file renamed into place); when that
// fails, standard error names the file and the cause and false is returned.
bool WriteCurveFile(const std::string& name, const input::Curve& curve,
                    const labtest::Recording& rec, int nRecorded);

}  // namespace soilcal::optimisation
