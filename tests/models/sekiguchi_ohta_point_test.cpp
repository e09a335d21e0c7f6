// Sekiguchi-Ohta models 31 (inviscid) and 32 (viscid) at the stress point,
// driven through MatSig, against the closed forms of one-dimensional
// compression, critical state and secondary compression; before that their
// completion and its stop on K0nc = 0.
#include <gtest/gtest.h>

#include <cmath>

#include "sekiguchi_ohta_point.hpp"
#include "services/errors.hpp"

namespace soilcal::models {
namespace {

using testing::MeanEffective;
using testing::SoftClaySet;
using testing::SoPoint;
using testing::VolumetricCompression;

constexpr Vec6 kK0State{-60.0, -100.0, -60.0, 0, 0, 0};  // K0nc = 0.6

TEST(SekiguchiOhtaSetUp, CompletionDerivesStiffnessDAndEtaAndStopsOnZeroK0nc) {
  MaterialSet set = SoftClaySet(31);
  const ModelConstants k;  // reference pressure 100
  EXPECT_EQ(CopySoilProp(1, set, k), 31);
  // Gref = 1.5 (1 - 2 nu)/(1 + nu) pref / kappa* = 1.5 * 0.6 / 1.2 * 100 / 0.02.
  EXPECT_NEAR(set.prop[1], 3750.0, 1e-9);
  EXPECT_NEAR(set.prop[33], (0.1 - 0.02) / 1.2, 1e-15);
  // eta of K0 consolidation, q/p = 3 (1 - K0)/(1 + 2 K0).
  EXPECT_NEAR(set.prop[36], 1.2 / 2.2, 1e-15);
  EXPECT_EQ(set.prop[34], 1.0);
  EXPECT_EQ(set.prop[35], 100.0);
  // G at test start follows p' with power 1: K = p'/kappa*.
  PointMatState pms;
  GenMat({.prop = &set.prop, .k = &k, .model = 31, .stress = {-60.0, -100.0, -60.0, 0, 0, 0}}, pms);
  EXPECT_NEAR(pms.G, 3750.0 * (220.0 / 3.0) / 100.0, 1e-9);

  const int mode = services::VirtualLabMode();
  services::SetVirtualLabMode(1);
  MaterialSet bad = SoftClaySet(132);
  bad.prop[37] = 0.0009;
  try {
    CopySoilProp(1, bad, k);
    ADD_FAILURE() << "K0nc below 0.001 must stop";
  } catch (const services::KernelAbort& e) {
    EXPECT_EQ(e.number, 41);
    EXPECT_EQ(services::KernelMessage(41, {}),
              "K0-nc ~= 0 in Sekiguchi-Ohta model, please correct");
  }
  services::SetVirtualLabMode(mode);
}

// One-dimensional compression of a normally consolidated point from its
// K0nc state: the stress ratio stays K0nc and the compression index in
// eps_v - ln sigma'_v is lambda*.
TEST(SekiguchiOhtaPoint, OedometerKeepsK0ncAndLambda) {
  SoPoint pt(SoftClaySet(31), kK0State);
  double ev1 = 0.0, sv1 = 0.0;
  for (int k = 1; k <= 200; ++k) {
    const MatSigOutput out = pt.Step({0, -0.001, 0, 0, 0, 0});
    ASSERT_EQ(out.iAbort, 0);
    // 1e-6: the vertex return keeps s/p on the K0 ratio exactly.
    EXPECT_NEAR(pt.sig[0] / pt.sig[1], 0.6, 1e-6) << k;
    EXPECT_NEAR(pt.sig[2], pt.sig[0], 1e-9) << k;
    if (k == 1) {
      EXPECT_NE(out.iArea, 0);  // normally consolidated: plastic from the start
      ev1 = VolumetricCompression(pt.eps);
      sv1 = -pt.sig[1];
    }
  }
  EXPECT_GT(-pt.sig[1], 5.0 * sv1);
  // 1 %: the elastic part uses the stiffness at the start of each step.
  const double index = (VolumetricCompression(pt.eps) - ev1) / std::log(-pt.sig[1] / sv1);
  EXPECT_NEAR(index, 0.1, 0.01 * 0.1);
}

// Undrained (isochoric) triaxial compression from the K0nc state: p'
// falls and the path ends on the critical state line q = M p'.
TEST(SekiguchiOhtaPoint, IsochoricTriaxialEndsOnTheCriticalStateLine) {
  SoPoint pt(SoftClaySet(31), kK0State);
  const double p0 = MeanEffective(pt.sig);
  for (int k = 0; k < 400; ++k) {
    ASSERT_EQ(pt.Step({0.000375, -0.00075, 0.000375, 0, 0, 0}).iAbort, 0) << k;
  }
  const double p = MeanEffective(pt.sig), q = std::abs(pt.sig[1] - pt.sig[0]);
  EXPECT_LT(p, 0.9 * p0);
  // 1 %: the ratio approaches M asymptotically with the shear strain.
  EXPECT_NEAR(q / p, 1.2, 0.01 * 1.2);
  EXPECT_NEAR(pt.sig[0], pt.sig[2], 1e-9);
}

// Creep under constant vertical stress in the oedometer: eps_vp =
// alpha ln(1 + v0 t / alpha) from the normally consolidated state, so the
// volumetric strain grows by alpha per unit of ln t once v0 t >> alpha. The
// inviscid form does not creep.
TEST(SekiguchiOhtaPoint, ViscidFormCreepsAsAlphaLnT) {
  SoPoint viscid(SoftClaySet(32), kK0State);
  SoPoint inviscid(SoftClaySet(31), kK0State);
  double evPhase = 0.0, tPhase = 0.0;
  // Logarithmically growing hold phases of 50 steps each.
  for (double span : {1.0, 10.0, 100.0, 1000.0, 10000.0}) {
    evPhase = VolumetricCompression(viscid.eps);
    tPhase = viscid.time;
    for (int k = 0; k < 50; ++k) {
      ASSERT_EQ(viscid.OedometricHold(span / 50.0).iAbort, 0);
      ASSERT_EQ(inviscid.OedometricHold(span / 50.0).iAbort, 0);
    }
  }
  const double ev = VolumetricCompression(viscid.eps), t = viscid.time;
  EXPECT_NEAR(viscid.sig[1], -100.0, 1e-6);
  EXPECT_NEAR(t, 11111.0, 1e-6);
  // 1 %: over t = 1111..11111 v0 t / alpha is 278..2778, where the secant
  // slope of alpha ln(1 + v0 t / alpha) is alpha to within 0.4 %.
  EXPECT_NEAR((ev - evPhase) / std::log(t / tPhase), 0.004, 0.01 * 0.004);
  // The closed form itself at the end: the K0 stress is held, so there is
  // no elastic strain.
  const double closed = 0.004 * std::log(1.0 + 1e-3 * t / 0.004);
  EXPECT_NEAR(ev, closed, 0.01 * closed);
  EXPECT_LT(std::abs(VolumetricCompression(inviscid.eps)), 1e-9);
}

}  // namespace
}  // namespace soilcal::models
