// Model 19: the shear modulus of the strain history, against the closed-form
// curve tau = G0 gamma / (1 + 0.385 gamma / gamma_0.7) with its tangent
// bounded by G_ur.
#include <gtest/gtest.h>

#include <cmath>

#include "hardening_soil_point.hpp"
#include "models/hardening_soil/hs_small_strain.hpp"

namespace soilcal::models::testing {
namespace {

constexpr double kGamma07 = 2e-4;

// A point that stays elastic in shear: the hardening surface far out, no
// cap, m = 0 (so the stress factor stays 1 while tau grows).
HsPoint ElasticSmallStrainPoint(double m, double p0) {
  PropSoil p = SandProps();
  SetCap(p, 1.0, 1.0);
  p[34] = m;
  p[49] = 3.0 * p[1];  // G0ref = 3 Gref = 75 MPa
  p[50] = kGamma07;
  HsPoint pt(p, {-p0, -p0, -p0, 0, 0, 0}, 19);
  pt.pms.v5 = 10.0;
  return pt;
}

// The curve of the point: G0 = 75 MPa, G_ur = 25 MPa; past the strain where
// the tangent reaches G_ur it goes on with slope G_ur.
double Tau(double g) {
  const double g0 = 75000.0, gur = 25000.0, a = 0.385 / kGamma07;
  const double gc = (std::sqrt(g0 / gur) - 1.0) / a;
  if (g <= gc) return g0 * g / (1.0 + a * g);
  return g0 * gc / (1.0 + a * gc) + gur * (g - gc);
}

TEST(HardeningSoilSmallStrain, SimpleShearFollowsTheDecayCurveAndRecoversAfterReversal) {
  HsPoint pt = ElasticSmallStrainPoint(0.0, 1000.0);
  const double dg = 2e-7;
  double gamma = 0.0;
  for (int i = 0; i < 5000; ++i) {  // to gamma = 1e-3
    const StressCall c = pt.Step({0, 0, 0, dg, 0, 0});
    gamma += dg;
    ASSERT_EQ(c.iArea, 0);
    // Each step adds the curve's secant increment, so tau is the curve's
    // value up to rounding.
    ASSERT_NEAR(pt.sig[3], Tau(gamma), 1e-9 * Tau(gamma) + 1e-12);
  }
  // Below 1e-6 the modulus is G0 (secant 75 MPa / (1 + 0.385 * 1e-6 / 2e-4),
  // within 0.2 %); the tangent at 1e-3 is G_ur.
  EXPECT_NEAR(Tau(1e-6) / 1e-6, 75000.0, 0.002 * 75000.0);
  const double tauBefore = pt.sig[3];
  pt.Step({0, 0, 0, dg, 0, 0});
  EXPECT_NEAR((pt.sig[3] - tauBefore) / dg, 25000.0, 1e-6 * 25000.0);

  // Reversal: the history restarts and the first unloading step is as stiff
  // as the very-small-strain modulus.
  const double tauTop = pt.sig[3];
  pt.Step({0, 0, 0, -dg, 0, 0});
  EXPECT_NEAR((tauTop - pt.sig[3]) / dg, Tau(dg) / dg, 1e-6 * 75000.0);
  EXPECT_GT((tauTop - pt.sig[3]) / dg, 0.999 * 75000.0);
  // ... and decays again along the same curve from the reversal point.
  for (int i = 0; i < 999; ++i) pt.Step({0, 0, 0, -dg, 0, 0});
  EXPECT_NEAR(tauTop - pt.sig[3], Tau(1000 * dg), 1e-9 * tauTop);
}

TEST(HardeningSoilSmallStrain, VerySmallStrainModulusScalesWithTheStressFactor) {
  // m = 0.5 at 400 kPa, c = 0: factor (400 / 100)^0.5 = 2, so G0 = 150 MPa.
  HsPoint pt = ElasticSmallStrainPoint(0.5, 400.0);
  const double dg = 1e-8;
  pt.Step({0, 0, 0, dg, 0, 0});
  // Secant over 1e-8 of shear: within 1e-4 of G0 (0.385 * 1e-8 / 2e-4).
  EXPECT_NEAR(pt.sig[3] / dg, 150000.0, 1e-4 * 150000.0);
}

TEST(HardeningSoilSmallStrain, StepSolverStiffnessIsTheTangentOfTheHistoryBoundedForReversals) {
  HsPoint pt = ElasticSmallStrainPoint(0.0, 1000.0);
  MaterialSet set;
  set.prop = pt.prop;
  ElasticCall e{.set = &set, .model = 19, .pms = &pt.pms, .stVar0 = pt.stVar0.data(),
                .nStat = hs::kSmallStrainVars};
  hs::ElasticMatrix(e);
  EXPECT_DOUBLE_EQ(e.G, 75000.0);  // fresh history: G0
  EXPECT_DOUBLE_EQ(e.D[3][3], 75000.0);
  EXPECT_DOUBLE_EQ(e.D[0][1], 2.0 * 75000.0 * 0.2 / 0.6);
  for (int i = 0; i < 20; ++i) pt.Step({0, 0, 0, 1e-6, 0, 0});  // gamma = 2e-5
  hs::ElasticMatrix(e);
  const double d = 1.0 + 0.385 * 2e-5 / kGamma07;
  EXPECT_NEAR(e.G, 75000.0 / (d * d), 1e-9 * 75000.0);
  // Further on the tangent falls below two thirds of G0, which bounds the
  // iteration matrix (a reversal answers with G0).
  for (int i = 0; i < 980; ++i) pt.Step({0, 0, 0, 1e-6, 0, 0});  // gamma = 1e-3
  hs::ElasticMatrix(e);
  EXPECT_DOUBLE_EQ(e.G, 50000.0);
}

TEST(HardeningSoilSmallStrain, FailureCriterionSelectsMohrCoulombOrTheHyperbolaAlone) {
  double qEnd[2] = {0.0, 0.0};
  for (int criterion = 0; criterion < 2; ++criterion) {
    PropSoil p = SandProps();
    SetCap(p, 1.0, 1.0);
    p[5] = (0.5 - 0.375) / (1.0 - 0.5 * 0.375);
    p[48] = criterion;
    p[49] = 3.0 * p[1];
    p[50] = kGamma07;
    HsPoint pt(p, {-100, -100, -100, 0, 0, 0}, 19);
    for (int i = 0; i < 400; ++i) pt.TriaxialStep(-5e-4, 100.0);  // 20 % axial strain
    const auto s = CompressionPrincipal(pt.sig);
    qEnd[criterion] = s[0] - s[2];
  }
  // q_f = 200 at sigma3 = 100; the asymptote q_a = q_f / Rf = 222.2.
  EXPECT_NEAR(qEnd[0], 200.0, 1e-6 * 200.0);
  EXPECT_GT(qEnd[1], 215.0);
  EXPECT_LT(qEnd[1], 200.0 / 0.9);
}

}  // namespace
}  // namespace soilcal::models::testing
