// soilcal on a whole calibration job: a drained triaxial test on a
// Mohr-Coulomb sand whose measured deviator curve is the closed-form answer
// for known Gref and sin(phi), started 30 % off. The result file, the
// simulated curves and the repeatability of a run are checked against the
// closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;

constexpr double kCell = 100.0;
const MohrCoulombSoil kTruth = Soil(10000.0, 0.5);
// Free parameters: slot 1 (Gref) and slot 3 (sin phi) with the bounds of
// GrefAndPhi.
constexpr double kLowerG = 5000.0, kUpperG = 20000.0;
constexpr double kLowerPhi = 0.3, kUpperPhi = 0.7;

// The program's "Relative Error" at (G, sin phi).
double ClosedFormError(double G, double sinPhi) {
  return DeviatorError(Soil(G, sinPhi), kTruth, kCell);
}

// Every recorded point of a simulated deviator curve lies on the closed-form
// curve of `soil`; the held cell pressure drifts by the equilibrium
// tolerance (at most 0.0025 of the stress level) once the soil has failed.
void ExpectClosedFormCurve(const fs::path& file, const MohrCoulombSoil& soil) {
  const SimulatedCurve curve = ReadSimulatedCurve(file);
  ASSERT_TRUE(curve.headerOk) << file;
  EXPECT_EQ(curve.xCode, -14);
  EXPECT_EQ(curve.yCode, 5);
  EXPECT_EQ(curve.badLines, 0);
  ASSERT_EQ(curve.points.size(), 101u) << "one line per recorded point";
  const double qf = FailureDeviator(soil.sinPhi, soil.c, kCell);
  for (std::size_t k = 0; k < curve.points.size(); ++k) {
    const auto [x, y] = curve.points[k];
    EXPECT_NEAR(x, 0.0005 * static_cast<double>(k), 1e-12);
    EXPECT_NEAR(y, TriaxialDeviator(soil, kCell, x), 0.0025 * qf) << file << " point " << k + 1;
  }
}

TEST(AcceptanceCalibration, MohrCoulombJobRecoversShearModulusAndFriction) {
  // TRIAX.VLT with Gref and sin phi 30 % below the truth; the deviator curve
  // Q.TXT (codes -14: axial compression, 5: |sigma1 - sigma3|).
  TempDir dir;
  const MohrCoulombSoil start = Soil(0.7 * kTruth.G, 0.7 * kTruth.sinPhi);
  WriteTriaxial(dir, "TRIAX.VLT", start, kCell);
  dir.Write("Q.TXT", MakeCurveFile(-14, 5, {MeasuredDeviator(kTruth, kCell)}));
  OptimisationFileDesc opt = GrefAndPhi(3);
  opt.tests = {{"TRIAX.VLT", {"Q.TXT"}}};
  // Layout and key names of the result file: see reference_identity_test.
  const ResultFile result = RunJob(dir, opt);

  // The swarm stops at its first iteration that does not improve the best
  // objective, so it ends near, not at, the optimum: 2 % is what a search
  // of intensity 3 must deliver on this well-posed two-parameter job.
  const double G = KeyValue(result, "Params", "Gref");
  const double sinPhi = KeyValue(result, "Params", "phi");
  EXPECT_NEAR(G, kTruth.G, 0.02 * kTruth.G);
  EXPECT_NEAR(sinPhi, kTruth.sinPhi, 0.02 * kTruth.sinPhi);

  // The reported error is the mean relative deviation at the reported
  // point. The held cell pressure drifts by about 6e-5 of itself after
  // failure, which moves the error by less than 0.01 percentage points.
  const double error = KeyValue(result, "Objective info", "Relative Error");
  EXPECT_NEAR(error, ClosedFormError(G, sinPhi), 0.01);
  EXPECT_LT(error, 2.0);

  // Sensitivity: |error at x + h e_j - error at x| with h = 1 % of the
  // range (backwards when x + h leaves the bounds), scaled to a largest of 100.
  const double hG = 0.01 * (kUpperG - kLowerG);
  const double hPhi = 0.01 * (kUpperPhi - kLowerPhi);
  const double base = ClosedFormError(G, sinPhi);
  const double dG =
      std::abs(ClosedFormError(G + (G + hG <= kUpperG ? hG : -hG), sinPhi) - base);
  const double dPhi =
      std::abs(ClosedFormError(G, sinPhi + (sinPhi + hPhi <= kUpperPhi ? hPhi : -hPhi)) - base);
  const double largest = std::max(dG, dPhi);
  const double sG = KeyValue(result, "Relative Sensitivity", "Gref");
  const double sPhi = KeyValue(result, "Relative Sensitivity", "phi");
  EXPECT_DOUBLE_EQ(std::max(sG, sPhi), 100.0);
  // The largest difference is about 1.3 percentage points and each error
  // is uncertain by the drift above (< 0.01): 1 on the scale of 100.
  EXPECT_NEAR(sG, 100.0 * dG / largest, 1.0);
  EXPECT_NEAR(sPhi, 100.0 * dPhi / largest, 1.0);

  // The reference run used the test file's parameters, the final run the
  // reported ones; both curve files lie beside the measured curve.
  ExpectClosedFormCurve(dir.path() / "Q.TXT_referenced", start);
  ExpectClosedFormCurve(dir.path() / "Q.TXT_calculated", Soil(G, sinPhi));
}

}  // namespace
}  // namespace soilcal::acceptance
