// Soil models run through the lab-test driver (phases, mixed control,
// committed states) against closed-form soil mechanics: the soft-soil family,
// and the Hardening Soil models with the cap-parameter library.
#include <gtest/gtest.h>

#include <cmath>

#include "labtest/lab_records.hpp"
#include "models/core_test_helpers.hpp"

namespace soilcal::testing {
namespace {

using models::testing::CapLibrary;

// lambda*, mu* and K0nc of SoftClayJob.
constexpr double kLambda = 0.1, kMu = 0.004, kK0nc = 0.6;

double MeanPressure(const Vec6& s) { return -(s[0] + s[1] + s[2]) / 3.0; }

// Drained triaxial compression of a lightly overconsolidated Cam-Clay
// sample (OCR 1.3): the path q = 3 (p - p0) meets the critical state line
// q = M p at p = 3 p0 / (3 - M), where the volume stops changing.
TEST(SoftSoilLab, CamClayDrainedTriaxialReachesCriticalState) {
  auto job = SoftClayJob(105);
  job->material.params[103] = 1.3;
  const RunOutcome out = Simulate(*job, TriaxialCompression(105, -0.8, 400));
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  const input::RecordedPoint a = rec.Point(391), b = rec.Point(401);
  const double M = 1.2, pCs = 3.0 * 100.0 / (3.0 - M);
  // 0.5 %: the critical state is approached asymptotically; after 80 %
  // axial strain q/(M p) is within 0.1 % of 1.
  EXPECT_NEAR(MeanPressure(b.stress), pCs, 0.005 * pCs);
  EXPECT_NEAR(b.stress[0] - b.stress[1], M * pCs, 0.005 * M * pCs);
  const double rate = (VolumetricStrain(b.strain) - VolumetricStrain(a.strain)) /
                      (b.strain[1] - a.strain[1]);
  EXPECT_LT(std::abs(rate), 0.005);
}

// Soft soil in drained triaxial compression at cell pressure s3 fails on the
// Mohr-Coulomb line q = 2 (s3 sin(phi) + c cos(phi)) / (1 - sin(phi)). The
// normally consolidated sample hardens on its cap first and reaches the line
// only after some 20 % axial strain; the last point lies at 40 %.
TEST(SoftSoilLab, SoftSoilDrainedTriaxialFailsOnMohrCoulombLine) {
  auto job = SoftClayJob(104);
  job->material.params[4] = 5.0;
  const RunOutcome out = Simulate(*job, TriaxialCompression(104, -0.4, 400));
  ASSERT_EQ(out.run.status, 0);
  const input::RecordedPoint last = out.ctx->rec.Point(401);
  const double qf = 2.0 * (100.0 * 0.5 + 5.0 * std::sqrt(0.75)) / 0.5;
  // 1e-5: perfect plasticity, the step solver's tolerance 1e-7 on the stresses.
  EXPECT_NEAR(last.stress[0] - last.stress[1], qf, 1e-5 * qf);
}

// A normally consolidated sample in its K0nc state starts on its cap: the
// first oedometric load step is a cap point. Pre-consolidated to twice the
// vertical stress (OCR 2) the same step is elastic.
TEST(SoftSoilLab, StartStateDecidesWhetherTheFirstLoadingIsOnTheCap) {
  for (int model : {104, 105, 108}) {
    for (double ocr : {1.0, 2.0}) {
      auto job = SoftClayJob(model);
      job->material.params[103] = ocr;
      const Phase step{1, {}, {0, -10.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 0.01};
      const RunOutcome out =
          Simulate(*job, MakeTest(model, {-60.0, -100.0, -60.0, 0, 0, 0}, {step}));
      ASSERT_EQ(out.run.status, 0);
      EXPECT_EQ(out.ctx->counters.cap, ocr == 1.0 ? 1 : 0) << model << " OCR " << ocr;
    }
  }
}

// Creep at constant stress after loading: exp(eps_c / mu*) = 1 + A t / t_ref,
// so late in the hold the volume decreases by mu* per unit of ln t. Phases of
// 10, 100, 1000 and 10000 time units give a logarithmic spread of points.
TEST(SoftSoilLab, CreepAtConstantStressGrowsWithLogTime) {
  auto job = SoftClayJob(108);
  const std::array<int, 6> stressed{1, 1, 1, 0, 0, 0};
  std::vector<Phase> phases{{50, {}, {-100.0, -100.0, -100.0, 0, 0, 0}, stressed, 50.0}};
  for (double t : {10.0, 100.0, 1000.0, 10000.0}) phases.push_back({20, {}, {}, stressed, t});
  const RunOutcome out = Simulate(*job, MakeTest(108, kIsotropic100, phases));
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  const int end3 = 51 + 60, end4 = 51 + 80;
  const input::RecordedPoint a = rec.Point(end3), b = rec.Point(end4);
  EXPECT_NEAR(MeanPressure(b.stress), 200.0, 1e-4);  // the stress is held
  const double t0 = rec.Point(51).time;
  const double slope = (VolumetricStrain(a.strain) - VolumetricStrain(b.strain)) /
                       std::log((b.time - t0) / (a.time - t0));
  // 2 %: the rate term A t / (1 + A t) is within 0.1 % of 1 this late.
  EXPECT_NEAR(slope, kMu, 0.02 * kMu);
}

// Isotaches: an oedometer run ten times faster ends on a compression line
// shifted by mu* ln 10 in strain, i.e. at equal strain its vertical stress
// is higher by exp(mu* ln 10 / lambda*).
TEST(SoftSoilLab, FasterOedometerEndsOnShiftedCompressionLine) {
  auto job = SoftClayJob(108);
  double sv[2] = {0.0, 0.0};
  for (int run = 0; run < 2; ++run) {
    const double duration = run == 0 ? 4000.0 : 400.0;
    const Phase load{400, {0, -0.4, 0, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}, duration};
    const RunOutcome out = Simulate(*job, MakeTest(108, {-60.0, -100.0, -60.0, 0, 0, 0}, {load}));
    ASSERT_EQ(out.run.status, 0);
    const input::RecordedPoint last = out.ctx->rec.Point(out.run.nRecorded);
    sv[run] = -last.stress[1];
    EXPECT_NEAR(last.stress[0] / last.stress[1], kK0nc, 0.01);
  }
  // 3 %: the start transient has died out over 40 % strain (100 mu*).
  EXPECT_NEAR(kLambda * std::log(sv[1] / sv[0]), kMu * std::log(10.0), 0.03 * kMu * std::log(10.0));
}

// Oedometer on the normal compression line: all strains prescribed, the
// axial one compressing.
input::LabTest Oedometer(int model, double sigmaV, double k0, double axialStrain, int steps) {
  const Phase load{steps, {0, axialStrain, 0, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}};
  return MakeTest(model, {-k0 * sigmaV, -sigmaV, -k0 * sigmaV, 0, 0, 0}, {load}, 1e-9);
}

// Tangent d sigma_v / d eps_v where sigma_v passes `sv`.
double OedometricTangent(const labtest::Recording& rec, double sv) {
  for (int k = 2; k <= rec.nRecorded; ++k) {
    const double s0 = -rec.Point(k - 1).stress[1], s1 = -rec.Point(k).stress[1];
    if (s0 < sv && s1 >= sv) {
      return (s1 - s0) / (rec.Point(k - 1).strain[1] - rec.Point(k).strain[1]);
    }
  }
  return -1.0;
}

TEST(HardeningSoilLab, PreconsolidationRaisesTheHardeningStateAndStiffensReloading) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  double gammaP[2], pc[2];
  for (int i = 0; i < 2; ++i) {
    HsParams h;
    h.ocr = i == 0 ? 1.0 : 2.0;
    auto job = HsJob(6, h);
    // No load step: the initialised point is what stays.
    const RunOutcome out = Simulate(*job, MakeTest(6, {-50, -100, -50, 0, 0, 0}, {}), cap.res);
    ASSERT_EQ(out.run.status, 0);
    gammaP[i] = out.ctx->point.stVar0[5];
    pc[i] = out.ctx->point.stVar0[6];
  }
  // OCR 2: the K0nc state at sigma_v = 200 (200, 100, 100) sets both.
  // pc = sqrt(p^2 + (qt/alpha)^2) with p = 133.3 and qt = 200 + 0.4*100 -
  // 1.4*100 = 100; gamma_p is the hyperbola there (sigma3 = 100, stress
  // factor 1): (2/E_i) q/(1 - q/q_a) - 2q/E_ur with E_i = 2 E50/(2 - Rf).
  const double ei = 2.0 * 20000.0 / 1.1, qa = 200.0 / 0.9;
  EXPECT_NEAR(gammaP[1], 2.0 / ei * 100.0 / (1.0 - 100.0 / qa) - 200.0 / 60000.0, 1e-9);
  EXPECT_GT(pc[1], 2.0 * pc[0] * 0.99);
  EXPECT_GT(gammaP[1], gammaP[0]);

  // Reloading the overconsolidated sample is elastic and stiff until it
  // meets its pre-consolidation, then it follows the normal line again.
  HsParams h;
  h.ocr = 2.0;
  auto job = HsJob(6, h);
  const RunOutcome out = Simulate(*job, Oedometer(6, 100.0, 0.5, -0.03, 600), cap.res);
  ASSERT_EQ(out.run.status, 0);
  // Elastic oedometric modulus E_ur (1 - nu)/((1 + nu)(1 - 2 nu)) with the
  // factor of the lateral stress, 51.25 at sigma_v = 105 (it grows by
  // nu/(1 - nu) of the vertical): 60000 * sqrt(0.5125) * 0.8/0.72 = 47730;
  // 2 %: the factor of each step is that of its start.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 105.0), 47730.0, 0.02 * 47730.0);
  // Further on the elastic path turns towards failure (its lateral ratio
  // 0.25 is below K0nc) and shear hardening sets in before sigma_pc.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 500.0), 20000.0 * std::sqrt(5.0),
              0.03 * 20000.0 * std::sqrt(5.0));
}

}  // namespace
}  // namespace soilcal::testing
