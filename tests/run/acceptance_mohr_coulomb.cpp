// soilcal-labtest on Mohr-Coulomb test files (model 2, kN and m), compared
// with the closed-form response of a linear elastic, perfectly plastic
// Mohr-Coulomb soil: drained triaxial, oedometer, undrained triaxial.
#include <gtest/gtest.h>

#include <cmath>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {


// The step solver accepts a step when the out-of-balance of the
// stress-prescribed components is within its tolerance, at most 0.0025 of
// the stress level (test block step 5). Held stresses may drift by that.
constexpr double kEquilibrium = 0.0025;

TEST(AcceptanceMohrCoulomb, DrainedTriaxialFollowsElasticSlopePeakAndDilatancy) {
  MohrCoulombSoil soil;  // G 10000, nu 0.3, phi 30 deg, c 5
  soil.sinPsi = std::sin(10.0 * std::acos(-1.0) / 180.0);
  const double cell = 100.0;
  const double dStrain = 0.05 / 100;
  const LabTestOutput run =
      RunLabTest(LabTest(2, MohrCoulombParams(soil), cell, {TriaxialPhase(-0.05, 100)}));
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  ASSERT_EQ(run.points.size(), 101u);

  const double E = YoungsModulus(soil.G, soil.nu);
  const double qf = FailureDeviator(soil.sinPhi, soil.c, cell);  // 217.32
  const double yieldStrain = qf / E;
  // Flow on the triaxial edge of the Mohr-Coulomb cone with dilatancy psi:
  // d(eps_v)/d(eps_a) = -2 sin(psi) / (1 - sin(psi)) (compression positive),
  // the stress being constant once the soil has failed.
  const double dilatantSlope = -2.0 * soil.sinPsi / (1.0 - soil.sinPsi);

  double peak = 0.0;
  for (std::size_t k = 1; k < run.points.size(); ++k) {
    const RecordedPoint& p = run.points[k];
    const double ea = p.AxialStrain();
    ASSERT_NEAR(ea, dStrain * static_cast<double>(k), 1e-12) << "axial strain is prescribed";
    // Lateral stresses are held at the cell pressure.
    EXPECT_NEAR(p.sig[0], -cell, kEquilibrium * cell) << "point " << p.point;
    EXPECT_NEAR(p.sig[2], -cell, kEquilibrium * cell) << "point " << p.point;
    const double q = p.Deviator();
    peak = std::max(peak, q);
    if (ea < yieldStrain) {
      // Elastic: q = E ea, lateral expansion nu ea, volume loss (1 - 2 nu) ea.
      // The elastic step converges in one iteration: round-off only.
      EXPECT_NEAR(q, E * ea, 1e-9 * E * ea) << "point " << p.point;
      EXPECT_NEAR(p.eps[0], soil.nu * ea, 1e-12) << "point " << p.point;
      EXPECT_NEAR(-p.VolumetricStrain(), (1.0 - 2.0 * soil.nu) * ea, 1e-12) << "point " << p.point;
    } else {
      // Failed: q = q_f at the lateral stress actually held. The return to
      // the cone is closed form, so only round-off remains.
      const double qfHeld = FailureDeviator(soil.sinPhi, soil.c, -p.sig[0]);
      EXPECT_NEAR(q, qfHeld, 1e-9 * qf) << "point " << p.point;
    }
  }
  // Volume change after failure, measured from the third step past the
  // yield point, when the held stresses have settled (the drift of the
  // first plastic steps changes the elastic strain by about dq/E).
  const auto settled = static_cast<std::size_t>(std::ceil(yieldStrain / dStrain)) + 3;
  const RecordedPoint& from = run.points[settled];
  const RecordedPoint& to = run.points.back();
  EXPECT_NEAR(to.Deviator(), from.Deviator(), 1e-9 * qf);
  const double slope = -(to.VolumetricStrain() - from.VolumetricStrain()) /
                       (to.AxialStrain() - from.AxialStrain());
  // Constant stress: purely plastic flow, round-off only.
  EXPECT_NEAR(slope, dilatantSlope, 1e-9);
  // Peak deviator against the nominal cell pressure.
  EXPECT_NEAR(peak, qf, kEquilibrium * qf);
  EXPECT_GT(peak, 0.999 * qf);
}

// A two-phase oedometer: loading to failure, then unloading. Also checks the
// layout of the point table: a '#' header, 16 numbers a line, point 1 in
// phase 0, then the points of each phase with the time running on.
TEST(AcceptanceMohrCoulomb, OedometerGivesConstrainedModulusK0AndActiveRatio) {
  MohrCoulombSoil soil;
  soil.sinPhi = 0.25;  // a weak soil that fails under one-dimensional loading
  soil.c = 0.0;
  soil.sinPsi = 0.0;
  const double cell = 100.0;
  auto unloading = OedometerPhase(0.005, 20);
  unloading.timeIncrement = 2.0;
  const LabTestOutput run = RunLabTest(
      LabTest(2, MohrCoulombParams(soil), cell, {OedometerPhase(-0.05, 100), unloading}));
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  // A missing test file is a run error: a non-zero exit status.
  const TempDir empty;
  EXPECT_NE(RunLabTestProgram(empty.path(), "MISSING.VLT").exitStatus, 0);
  EXPECT_EQ(run.headerLine.rfind('#', 0), 0u) << run.headerLine;
  EXPECT_EQ(run.badLines, 0);
  ASSERT_EQ(run.points.size(), 121u);
  for (std::size_t k = 0; k < run.points.size(); ++k) {
    const RecordedPoint& p = run.points[k];
    EXPECT_EQ(p.point, static_cast<int>(k) + 1);
    EXPECT_EQ(p.phase, k == 0 ? 0 : (k <= 100 ? 1 : 2)) << "point " << p.point;
    // Time: 1 over the 100 steps of phase 1, then 2 over the 20 of phase 2.
    const double time = k <= 100 ? 0.01 * static_cast<double>(k) : 1.0 + 0.1 * (k - 100.0);
    EXPECT_NEAR(p.time, time, 1e-12) << "point " << p.point;
    EXPECT_EQ(p.eps[0], 0.0);  // no lateral strain in an oedometer
    EXPECT_EQ(p.eps[2], 0.0);
    EXPECT_EQ(p.pw, 0.0);      // drained
  }

  const double M = ConstrainedModulus(soil.G, soil.nu);  // 35000
  const double lambda = 2.0 * soil.G * soil.nu / (1.0 - 2.0 * soil.nu);
  const double k0 = soil.nu / (1.0 - soil.nu);
  const double ka = (1.0 - soil.sinPhi) / (1.0 + soil.sinPhi);  // c = 0
  // Elastic until sigma_h = Ka sigma_v: 100 + lambda e = Ka (100 + M e).
  const double yieldStrain = cell * (1.0 - ka) / (ka * M - lambda);
  // Plastic constrained modulus on the triaxial edge with psi = 0: lateral
  // elastic strain b = beta a balances the plastic lateral strain, and
  // a = de / (1 + 2 beta) (see the flow rule (1/2, -1/4, -1/4)).
  const double beta = (ka * (lambda + 2.0 * soil.G) - lambda) /
                      (2.0 * lambda + 2.0 * soil.G - 2.0 * ka * lambda);
  const double plasticModulus = ((lambda + 2.0 * soil.G) + 2.0 * lambda * beta) / (1.0 + 2.0 * beta);

  bool failed = false;
  for (std::size_t k = 1; k < run.points.size(); ++k) {
    const RecordedPoint& a = run.points[k - 1];
    const RecordedPoint& b = run.points[k];
    const double de = b.AxialStrain() - a.AxialStrain();
    const double dsv = a.sig[1] - b.sig[1];  // compression positive
    const double dsh = a.sig[0] - b.sig[0];
    const bool elasticStep = b.phase == 2 || b.AxialStrain() <= yieldStrain;
    // All strains are prescribed: no equilibrium iteration drift, round-off only.
    if (elasticStep) {
      EXPECT_NEAR(dsv / de, M, 1e-6 * M) << "point " << b.point;
      EXPECT_NEAR(dsh / dsv, k0, 1e-9) << "point " << b.point;
    } else if (a.AxialStrain() > yieldStrain) {
      failed = true;
      EXPECT_NEAR(b.sig[0] / b.sig[1], ka, 1e-9) << "point " << b.point;
      EXPECT_NEAR(dsv / de, plasticModulus, 1e-6 * M) << "point " << b.point;
    }
  }
  EXPECT_TRUE(failed);
}

// Model variant 1 makes the model number 202: drainage type 2, undrained.
// With the water stiffness of an undrained Poisson's ratio nu_u the point
// responds with Eu = 2G(1 + nu_u) in total stress; the pore pressure takes
// the share (1 - K'/Ku) of the total mean-stress change and p' nearly none.
TEST(AcceptanceMohrCoulomb, UndrainedTriaxialCarriesTheMeanStressInThePorePressure) {
  MohrCoulombSoil soil;
  soil.nuU = 0.495;
  const double cell = 100.0;
  auto testFile = LabTest(2, MohrCoulombParams(soil), cell, {TriaxialPhase(-0.002, 20)});
  testFile.variant = 1.0;
  const LabTestOutput run = RunLabTest(testFile);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  ASSERT_EQ(run.points.size(), 21u);

  const double Eu = YoungsModulus(soil.G, soil.nuU);
  const double share = 1.0 - BulkModulus(soil.G, soil.nu) / BulkModulus(soil.G, soil.nuU);
  for (const RecordedPoint& p : run.points) {
    const double ea = p.AxialStrain();
    const double q = p.sig[0] - p.sig[1];             // total q = effective q
    const double lateralTotal = p.sig[0] + p.pw;      // held at the cell pressure
    const double dpTotal = (p.sig[0] + p.sig[1] + p.sig[2]) / 3.0 + p.pw + cell;
    EXPECT_NEAR(lateralTotal, -cell, kEquilibrium * cell) << "point " << p.point;
    // Linear elastic in total stress: round-off and the equilibrium drift.
    EXPECT_NEAR(q, Eu * ea, 1e-6 * cell) << "point " << p.point;
    EXPECT_NEAR(p.pw, share * dpTotal, 1e-6 * cell) << "point " << p.point;
    // p' stays at the cell pressure within the 2 % that K'/Ku leaves it.
    EXPECT_NEAR(p.MeanEffective(), -cell, 0.025 * std::abs(dpTotal) + 1e-9) << "point " << p.point;
  }
  // Compression raises the pore pressure (negative: tension positive).
  EXPECT_LT(run.points.back().pw, -0.9 * Eu * 0.002 / 3.0);
}

}  // namespace
}  // namespace soilcal::acceptance
