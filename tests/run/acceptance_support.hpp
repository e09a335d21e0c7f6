// Acceptance tests run the built programs on job folders written the way a
// host application writes them, and compare what comes out with closed-form
// soil mechanics. This header holds the job builders and closed-form
// formulas those tests share; running and reading come from tests/support/.
//
// Sign conventions of the program: tension positive, so a cell pressure of
// 100 is a stress of -100 and axial compression is a negative strain. The
// closed-form helpers below work with compression-positive magnitudes.
#pragma once

#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/files.hpp"
#include "support/job_writer.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::acceptance {

using testing::FindSection;
using testing::KeyLine;
using testing::KeyValue;
using testing::LabTestOutput;
using testing::ParseResultFile;
using testing::ProcessRun;
using testing::ReadFile;
using testing::ReadSimulatedCurve;
using testing::RecordedPoint;
using testing::ResultFile;
using testing::ResultSection;
using testing::RunLabTestProgram;
using testing::RunProcess;
using testing::RunSoilcal;
using testing::SimulatedCurve;
using testing::WithoutTimingLines;

// ---- job files ------------------------------------------------------------

// Parameters of a Mohr-Coulomb soil (model 2), in the test file's units.
struct MohrCoulombSoil {
  double G = 10000.0;  // slot 1
  double nu = 0.3;     // slot 2
  double sinPhi = 0.5; // slot 3 (30 degrees)
  double c = 5.0;      // slot 4
  double sinPsi = 0.0; // slot 5
  double tension = 0.0;  // slot 16
  double nuU = 0.0;      // slot 28, undrained Poisson's ratio
};

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil);

// One phase of axial loading: axial (yy) strain `axialStrain` (negative in
// compression) prescribed in `steps` steps, the other components held at
// constant stress (triaxial) or all strains prescribed (oedometer).
testing::LabTestPhase TriaxialPhase(double axialStrain, int steps);
testing::LabTestPhase OedometerPhase(double axialStrain, int steps);

// A version-6 test file on material `params` of `baseModel` from an
// isotropic stress of -cell, with the given phases.
testing::LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params,
                                 double cell, std::vector<testing::LabTestPhase> phases);

// Writes `testFile` with an equilibrium tolerance of 1e-6 (instead of the
// usual 0.0025) to MODEL.VLT in `dir` and runs soilcal-labtest on it.
LabTestOutput RunTightly(const std::filesystem::path& dir, const testing::LabTestFileDesc& testFile);

// Hardening Soil parameters (model 6), kN and m: E50ref 20000, Eur,ref 60000
// (Gref 25000, nu 0.2), EOedRef 20000, m 0.5, pref 100, Rf 0.9, psi 0.
std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc);
// Whether the cap library of the Hardening Soil models is built beside the
// programs (target "zarirude").
bool CapLibraryBuilt();

// ---- closed-form soil mechanics (compression positive) -------------------

inline double YoungsModulus(double G, double nu) { return 2.0 * G * (1.0 + nu); }
inline double BulkModulus(double G, double nu) {
  return 2.0 * G * (1.0 + nu) / (3.0 * (1.0 - 2.0 * nu));
}
inline double ConstrainedModulus(double G, double nu) {
  return 2.0 * G * (1.0 - nu) / (1.0 - 2.0 * nu);
}
// Deviator at Mohr-Coulomb failure in triaxial compression at cell pressure
// sigma3: q_f = 2 (c cos phi + sigma3 sin phi) / (1 - sin phi).
inline double FailureDeviator(double sinPhi, double c, double sigma3) {
  return 2.0 * (c * std::sqrt(1.0 - sinPhi * sinPhi) + sigma3 * sinPhi) / (1.0 - sinPhi);
}
// Drained triaxial deviator of an elastic, perfectly plastic Mohr-Coulomb
// soil at axial strain ea: E ea up to failure, q_f after.
inline double TriaxialDeviator(const MohrCoulombSoil& s, double sigma3, double ea) {
  return std::min(YoungsModulus(s.G, s.nu) * ea, FailureDeviator(s.sinPhi, s.c, sigma3));
}

}  // namespace soilcal::acceptance
