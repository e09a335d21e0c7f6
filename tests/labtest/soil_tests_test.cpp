// Simulated laboratory tests against the closed-form answers of soil
// mechanics (tension positive; q = sigma_3 - sigma_1 compression positive).
#include <gtest/gtest.h>

#include <cmath>

#include "labtest/lab_records.hpp"

namespace soilcal::testing {
namespace {

// Every recorded value of the run is a finite number.
void ExpectAllFinite(const labtest::Recording& rec, int nPoints) {
  for (int k = 1; k <= nPoints; ++k) {
    const input::RecordedPoint p = rec.Point(k);
    ASSERT_TRUE(std::isfinite(p.time) && std::isfinite(p.pw)) << "point " << k;
    for (int i = 0; i < 6; ++i) {
      ASSERT_TRUE(std::isfinite(p.strain[i]) && std::isfinite(p.stress[i])) << "point " << k;
    }
  }
}

double Deviator(const Vec6& s) { return s[0] - s[1]; }  // lateral minus axial

TEST(MohrCoulombTriaxial, DrainedCompressionFollowsElasticityFailureAndDilatancy) {
  const SoilParams soil;
  auto job = MakeJob(102, soil);
  const int steps = 200;
  const double dEps = -2e-4;  // axial strain per step
  const input::LabTest test = TriaxialCompression(102, steps * dEps, steps);
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  ASSERT_EQ(out.run.nRecorded, steps + 1);
  const labtest::Recording& rec = out.ctx->rec;
  ExpectAllFinite(rec, out.run.nRecorded);

  // Elastic start: dq/d(eps1) = E = 2G(1 + nu), d(eps_v)/d(eps1) = 1 - 2 nu.
  // 0.5 %: the first step is elastic and the solver converges to 1e-7.
  const double E = 2.0 * soil.G * (1.0 + soil.nu);
  const input::RecordedPoint p2 = rec.Point(2);
  EXPECT_NEAR(Deviator(p2.stress) / -p2.strain[1], E, 0.005 * E);
  EXPECT_NEAR(VolumetricStrain(p2.strain) / p2.strain[1], 1.0 - 2.0 * soil.nu,
              0.005 * (1.0 - 2.0 * soil.nu));

  // Failure: q_f = 2 (c cos(phi) + sigma3' sin(phi)) / (1 - sin(phi)) with
  // sigma3' = 100; the last point lies well past failure (eps1 = 4 %,
  // elastic limit at q_f / E = 0.84 %). 0.5 % as asked of the model.
  const double cosPhi = std::sqrt(1.0 - soil.sinPhi * soil.sinPhi);
  const double qf = 2.0 * (soil.c * cosPhi + 100.0 * soil.sinPhi) / (1.0 - soil.sinPhi);
  const input::RecordedPoint last = rec.Point(out.run.nRecorded);
  EXPECT_NEAR(Deviator(last.stress), qf, 0.005 * qf);
  // The cell pressure is prescribed: it ends on its value (solver tolerance).
  EXPECT_NEAR(last.stress[0], -100.0, 1e-4);
  EXPECT_NEAR(last.stress[2], -100.0, 1e-4);

  // Plastic flow at constant stress: all strain is plastic. With the
  // potential g = (s1 - s3)/2 - (s1 + s3)/2 sin(psi) (compression
  // positive) on the triaxial edge s2 = s3 both lateral surfaces carry half
  // the multiplier L: de1 = L (1 - sin psi)/2, de2 = de3 = -L (1 + sin psi)/4,
  // so dev = de1 + 2 de3 = -L sin psi and dev/de1 = -2 sin psi / (1 - sin psi).
  // The ratio is sign-free, so it holds as well with tension positive.
  const input::RecordedPoint early = rec.Point(out.run.nRecorded - 50);
  const double slope = (VolumetricStrain(last.strain) - VolumetricStrain(early.strain)) /
                       (last.strain[1] - early.strain[1]);
  const double expected = -2.0 * soil.sinPsi / (1.0 - soil.sinPsi);
  EXPECT_NEAR(slope, expected, 0.005 * std::abs(expected));
}

TEST(MohrCoulombOedometer, ConstrainedModulusAndLateralStressRatio) {
  const SoilParams soil;
  auto job = MakeJob(102, soil);
  // Vertical stress prescribed (-200 kPa in 10 steps), all other strains held
  // at zero; K0 = nu/(1 - nu) = 0.43 stays inside the Mohr-Coulomb limit
  // (1 - sin phi)/(1 + sin phi) = 0.33, so the soil answers elastically.
  Phase load{10, {}, {0, -200, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
  const input::LabTest test = MakeTest(102, kIsotropic100, {load});
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  ASSERT_EQ(out.run.nRecorded, 11);
  const input::RecordedPoint last = out.ctx->rec.Point(11);

  const double E = 2.0 * soil.G * (1.0 + soil.nu);
  const double M = E * (1.0 - soil.nu) / ((1.0 + soil.nu) * (1.0 - 2.0 * soil.nu));
  // Relative 1e-6: elastic steps converge to the solver tolerance of 1e-7.
  EXPECT_NEAR(last.stress[1], -300.0, 1e-6 * 300.0);
  EXPECT_NEAR(last.strain[1], -200.0 / M, 1e-6 * 200.0 / M);
  EXPECT_NEAR((last.stress[0] + 100.0) / (last.stress[1] + 100.0), soil.nu / (1.0 - soil.nu),
              1e-6);
  EXPECT_NEAR(last.stress[2], last.stress[0], 1e-9 * 300.0);
  // Strain-prescribed components end exactly on their values.
  EXPECT_EQ(last.strain[0], 0.0);
  EXPECT_EQ(last.strain[2], 0.0);
  EXPECT_EQ(last.strain[4], 0.0);
}

TEST(ElasticUndrainedTriaxial, WaterCarriesTheMeanStressAndVolumeStaysConstant) {
  SoilParams soil;
  soil.nuU = 0.495;
  auto job = MakeJob(201, soil);
  const input::LabTest test = TriaxialCompression(201, -0.001, 10);
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  ExpectAllFinite(out.ctx->rec, out.run.nRecorded);
  const input::RecordedPoint last = out.ctx->rec.Point(11);

  // In total stress the set is elastic with G and nu_u: sigma_yy changes by
  // E_u eps_yy, eps_v = (1 - 2 nu_u) eps_yy. The water takes BUW eps_v of
  // the total mean-stress change K_u eps_v, the skeleton K' eps_v.
  const double G = soil.G, nu = soil.nu, nuU = soil.nuU;
  const double Kd = 2.0 * G * (1.0 + nu) / (3.0 * (1.0 - 2.0 * nu));
  const double Ku = 2.0 * G * (1.0 + nuU) / (3.0 * (1.0 - 2.0 * nuU));
  const double epsYY = -0.001;
  const double epsV = VolumetricStrain(last.strain);
  // 1e-6 relative: linear elastic steps, solver tolerance 1e-7.
  EXPECT_NEAR(epsV, (1.0 - 2.0 * nuU) * epsYY, 1e-6 * std::abs(epsYY));
  const double dpTotal = (last.stress[0] + last.stress[1] + last.stress[2]) / 3.0 + last.pw + 100.0;
  EXPECT_NEAR(dpTotal, 2.0 * G * (1.0 + nuU) * epsYY / 3.0, 1e-5 * std::abs(dpTotal));
  EXPECT_NEAR(last.pw, (Ku - Kd) / Ku * dpTotal, 1e-5 * std::abs(dpTotal));
  // p' stays within 1 % of its start value (it moves by K'/K_u of dp = 0.2 %).
  const double pEff = MeanStress(last.stress);
  EXPECT_NEAR(pEff, -100.0, 1.0);
  // The cell pressure is a total stress held at -100.
  EXPECT_NEAR(last.stress[0] + last.pw, -100.0, 1e-4);
}

}  // namespace
}  // namespace soilcal::testing
