// Sekiguchi-Ohta models 31 (inviscid) and 32 (viscid) through the lab-test
// driver, against the closed forms of one-dimensional compression, critical
// state and secondary compression.
#include <gtest/gtest.h>

#include <cmath>

#include "labtest/lab_records.hpp"

namespace soilcal::testing {
namespace {

constexpr double kLambda = 0.1, kKappa = 0.02, kK0nc = 0.6, kM = 1.2;
constexpr double kAlpha = 0.004, kRate = 1e-3;

std::unique_ptr<input::Job> ClayJob(int model) {
  SoilParams s;
  s.G = 1000.0;  // replaced from kappa*
  s.nu = 0.2;
  s.sinPhi = 0.0;
  s.c = 0.0;
  s.sinPsi = 0.0;
  s.porosity = 0.5;
  auto job = MakeJob(model, s);
  auto& p = job->material.params;
  p[31] = kM;
  p[37] = kK0nc;
  p[38] = kKappa;
  p[39] = kLambda;
  p[40] = kAlpha;
  p[41] = kRate;
  return job;
}

double MeanPressure(const Vec6& s) { return -(s[0] + s[1] + s[2]) / 3.0; }

double Deviator(const Vec6& s) { return std::abs(s[1] - s[0]); }

// One-dimensional loading of a normally consolidated sample from its K0nc
// state: the stress ratio stays K0nc and the compression index in
// eps_v - ln sigma'_v is lambda*.
TEST(SekiguchiOhtaLab, OedometerKeepsK0ncAndLambda) {
  auto job = ClayJob(31);
  const Phase load{200, {}, {0, -700.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
  const input::LabTest test = MakeTest(31, {-60.0, -100.0, -60.0, 0, 0, 0}, {load});
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  // 1e-6: the vertex return keeps s/p on the K0 ratio exactly.
  for (int k : {2, 100, 201}) {
    const input::RecordedPoint pt = rec.Point(k);
    EXPECT_NEAR(pt.stress[0] / pt.stress[1], kK0nc, 1e-6) << k;
  }
  const input::RecordedPoint a = rec.Point(2), b = rec.Point(201);
  EXPECT_DOUBLE_EQ(b.strain[0], 0.0);
  // 1 %: the elastic part uses the stiffness at the start of each step.
  const double index = (VolumetricStrain(a.strain) - VolumetricStrain(b.strain)) /
                       std::log(b.stress[1] / a.stress[1]);
  EXPECT_NEAR(index, kLambda, 0.01 * kLambda);
}

// Undrained triaxial compression from the K0nc state ends on the critical
// state line q = M p'; the volume does not change.
TEST(SekiguchiOhtaLab, UndrainedTriaxialEndsOnTheCriticalStateLine) {
  auto job = ClayJob(231);
  const Phase shear{400, {0, -0.3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const input::LabTest test = MakeTest(231, {-60.0, -100.0, -60.0, 0, 0, 0}, {shear});
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  const input::RecordedPoint last = out.ctx->rec.Point(401);
  // 1 %: the ratio approaches M asymptotically with the shear strain.
  EXPECT_NEAR(Deviator(last.stress) / MeanPressure(last.stress), kM, 0.01 * kM);
  EXPECT_LT(std::abs(VolumetricStrain(last.strain)), 0.01 * 0.3);
  EXPECT_LT(last.pw, 0.0);  // compressive excess pore pressure (tension positive)
}

// Creep under constant effective stress: eps_vp = alpha ln(1 + v0 t / alpha)
// from the normally consolidated state, so the volumetric strain grows by
// alpha per unit of ln t once v0 t >> alpha.
TEST(SekiguchiOhtaLab, ViscidFormCreepsAsAlphaLnT) {
  auto job = ClayJob(32);
  std::vector<Phase> phases;
  // Logarithmically growing hold phases of 50 steps each.
  for (double t : {1.0, 10.0, 100.0, 1000.0, 10000.0}) {
    phases.push_back(Phase{50, {}, {}, {0, 1, 0, 1, 1, 1}, t});
  }
  const input::LabTest test = MakeTest(32, {-60.0, -100.0, -60.0, 0, 0, 0}, phases);
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  auto evAt = [&](int k) { return -VolumetricStrain(rec.Point(k).strain); };
  auto tAt = [&](int k) { return rec.Point(k).time; };
  const int n = out.run.nRecorded;
  const double slope = (evAt(n) - evAt(n - 50)) / std::log(tAt(n) / tAt(n - 50));
  // 1 %: over t = 1111..11111 v0 t / alpha is 278..2778, where the secant
  // slope of alpha ln(1 + v0 t / alpha) is alpha to within 0.4 %.
  EXPECT_NEAR(slope, kAlpha, 0.01 * kAlpha);
  // The closed form itself at the end: eps_v = alpha ln(1 + v0 t / alpha)
  // with the K0 stress held (no elastic strain).
  const double closed = kAlpha * std::log(1.0 + kRate * tAt(n) / kAlpha);
  EXPECT_NEAR(evAt(n), closed, 0.01 * closed);
}

}  // namespace
}  // namespace soilcal::testing
