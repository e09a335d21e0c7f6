// Set-up and dispatch of the Hoek-Brown (15) and Sekiguchi-Ohta (31, 32)
// models: completion, the K0nc stop and MatSig's return codes.
#include <gtest/gtest.h>

#include "core_test_helpers.hpp"
#include "models/setup.hpp"
#include "sekiguchi_ohta_point.hpp"
#include "services/errors.hpp"

namespace soilcal::models {
namespace {

using testing::SoftClaySet;

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

TEST(RockAndClayDispatch, MatSigServesTheModelsWithSignedReturnCodes) {
  // Hoek-Brown, GSI 100, mi 10, sci 100: a trial far outside in triaxial
  // compression comes back on the surface; its reference stress (the trial
  // itself in the first iteration) was not elastic, so iArea is +1.
  testing::PointHarness hb(15, 10000.0, 0.25, 0.0, 0.0, 0.0, 0.0);
  hb.set.prop[31] = 100.0;
  hb.set.prop[32] = 10.0;
  hb.set.prop[33] = 100.0;
  CopySoilProp(1, hb.set, hb.k);
  hb.in.iter = 1;
  hb.in.tol = 10.0;  // no inaccuracy mark on this large step
  hb.in.weight = 1.0;
  hb.in.sig0 = {-10.0, -10.0, -10.0, 0, 0, 0};
  hb.in.dEps = {0.0, -0.1, 0.0, 0, 0, 0};
  MatSigOutput out = hb.Run();
  EXPECT_EQ(out.iAbort, 0);
  EXPECT_EQ(out.iArea, 1);
  const Principal pr = PrincipalStresses(out.sigC);
  // sigma1 - sigma3 = sci sqrt(mb sigma3 / sci + 1) on the surface.
  const double c1 = -pr.s[0], c3 = -pr.s[2];
  EXPECT_NEAR(c1 - c3, 100.0 * std::sqrt(10.0 * c3 / 100.0 + 1.0), 1e-6);
  EXPECT_EQ(hb.counters.plastic, 1);
  // Second iteration from an elastic previous stress with nearly the same
  // increment: the reference stress SigEQ is elastic, the point newly plastic.
  hb.in.iter = 2;
  hb.in.iterFactor = 1.0;
  hb.in.sigPrev = hb.in.sig0;
  hb.in.dEpsPrev = {0.0, -0.099, 0.0, 0, 0, 0};
  EXPECT_EQ(hb.Run().iArea, -1);
  EXPECT_EQ(hb.counters.negative, 1);

  // The models of the table that stay unbuilt keep the default case.
  testing::PointHarness jointed(14, 10000.0, 0.25, 0.5, 0.0, 0.0, 0.0);
  EXPECT_EQ(jointed.Run().iAbort, 246);
}

}  // namespace
}  // namespace soilcal::models
