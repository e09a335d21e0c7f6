// The measured Karlsruhe tests and their simulation for the study: each
// drained triaxial test read from its CSV file and simulated from its own
// start state (cell pressure, void ratio of the first row).
#pragma once

#include <string>
#include <vector>

#include "models/hypoplastic_sand/library/element_test.hpp"

namespace karlsruhe {

using hypoplastic::Parameters;
using hypoplastic::State;

struct Measured {
  std::string name;
  double cell = 0.0;   // kPa
  double e0 = 0.0;     // void ratio of the first row
  // Rows from 0.05 % to 10 % axial strain: fractions and kPa, compression positive.
  std::vector<double> axial, q, volumetric;
};

// Reads the columns eps1 [%], epsv [%], e [-], q [kPa], p [kPa] of a test;
// no rows when the file is missing or unreadable.
Measured Read(const std::string& folder, const std::string& name);

// Axial strain step of the simulated tests, 0.05 %: the integration
// substeps within a step on its own; the step only sets where the cell
// pressure is enforced and the spacing of the interpolated curve.
inline constexpr double kStep = 5e-4;

// A simulated drained triaxial compression: axial strain, deviator,
// volumetric strain (compression positive) and void ratio per step.
struct Curve {
  std::vector<double> axial, q, volumetric, e, p;
  bool ok = true;  // false when a step failed; the curve ends there
};

// Drained triaxial compression from an isotropic start (cell pressure
// `cell`, void ratio `e0`, the intergranular strain as the library starts
// it) to `maxAxial` in steps of `da`.
Curve Drained(const Parameters& p, double cell, double e0, double maxAxial, double da = kStep);

struct Errors {
  double qRelative = 0.0;       // mean relative error of q, %
  double volumetricRms = 0.0;   // RMSE of eps_v, percentage points
  double qPeakSimulated = 0.0, qPeakMeasured = 0.0;
  bool ok = false;
};

// The simulated curve at the measured rows (linear interpolation).
Errors Compare(const Curve& c, const Measured& m, double da = kStep);

// Residuals at the measured rows of every test: relative errors of q and,
// with `volumetric`, errors of eps_v scaled by the test's largest |eps_v|
// (a relative error means nothing on a curve that crosses zero), each
// test's rows weighted by 1/sqrt(rows); the tests simulated on threads of
// their own. False when a simulation failed.
bool Residuals(const Parameters& p, const std::vector<Measured>& tests, bool volumetric,
               std::vector<double>& out);

}  // namespace karlsruhe
