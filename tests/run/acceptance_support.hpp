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

// The writers, runners and readers of tests/support/.
using namespace soilcal::testing;

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
// The soil above with shear modulus G and friction sine sinPhi.
MohrCoulombSoil Soil(double G, double sinPhi);

// One phase of axial loading: axial (yy) strain `axialStrain` (negative in
// compression) prescribed in `steps` steps, the other components held at
// constant stress (triaxial) or all strains prescribed (oedometer).
testing::LabTestPhase TriaxialPhase(double axialStrain, int steps);
testing::LabTestPhase OedometerPhase(double axialStrain, int steps);

// A version-6 test file on material `params` of `baseModel` from an
// isotropic stress of -cell, with the given phases.
testing::LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params,
                                 double cell, std::vector<testing::LabTestPhase> phases);

// Writes `name` in `dir`: a triaxial test on `soil` at cell pressure `cell`,
// 100 steps to 5 % axial compression.
void WriteTriaxial(const TempDir& dir, const std::string& name, const MohrCoulombSoil& soil,
                   double cell);

// The optimisation file of a job calibrating slot 1 (Gref) in [5000, 20000]
// and slot 3 (sin phi) in [0.3, 0.7]; its tests are added by the caller.
OptimisationFileDesc GrefAndPhi(int intensity);

// Writes `opt` as OPTIM.TXT in `dir`, runs soilcal on it (which must end
// with status 0 and exit code 0) and returns the parsed result file.
ResultFile RunJob(const TempDir& dir, const OptimisationFileDesc& opt);
// The soil of the calibrated Gref and sin phi of a result file.
MohrCoulombSoil Calibrated(const ResultFile& result);

// Writes `testFile` to MODEL.VLT in a fresh folder and runs soilcal-labtest
// on it; RunTightly with an equilibrium tolerance of 1e-6 (instead of the
// usual 0.0025).
LabTestOutput RunLabTest(const LabTestFileDesc& testFile);
LabTestOutput RunTightly(const LabTestFileDesc& testFile);

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
// The measured curve of `soil` at cell pressure `cell`: its deviator at the
// axial strains 0.1 % to 4.9 %, every one a recorded point of the 100-step
// test of WriteTriaxial, so the program's interpolation adds nothing.
std::vector<std::pair<double, double>> MeasuredDeviator(const MohrCoulombSoil& soil, double cell);
// Mean relative deviation in percent of the deviator curve of `soil` from
// the measured one of `truth`: the program's "Relative Error" of such a test.
double DeviatorError(const MohrCoulombSoil& soil, const MohrCoulombSoil& truth, double cell);

}  // namespace soilcal::acceptance
