// The dispatcher MatSig: trial and reference stress, record handling,
// counters, accuracy check, pore pressure, the signed return codes of a
// model served through it and the default case.
#include <gtest/gtest.h>

#include <cmath>

#include "core_test_helpers.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

using testing::DiagCapture;
using testing::PointHarness;

// G = 1000, nu = 0.3: 2G(1-nu)/(1-2nu) = 3500, 2G nu/(1-2nu) = 1500.
constexpr double kG = 1000.0, kNu = 0.3, kD11 = 3500.0, kD12 = 1500.0;
// phi = 30 deg, psi = 5 deg, c = 10, T = 5.
constexpr double kSinPhi = 0.5, kSinPsi = 0.08715574274765817, kC = 10.0, kT = 5.0;
const double kCohesi = kC * std::sqrt(1.0 - kSinPhi * kSinPhi);

TEST(MatSig, InaccuratePointsGetTenAddedToTheMagnitudeOfTheirZone) {
  // Newly plastic shear point (-1): second iteration whose reference stress
  // is the elastic previous stress, far from the returned one.
  {
    PointHarness h(2, kG, kNu, kSinPhi, kSinPsi, kC, kT);
    h.in.sig0 = {-300.0, -50.0, -50.0, 0.0, 0.0, 0.0};
    h.in.iter = 2;
    h.in.sigPrev = {-100.0, -100.0, -100.0, 0.0, 0.0, 0.0};
    const MatSigOutput out = h.Run();
    EXPECT_EQ(out.iArea, -11);
    EXPECT_EQ(h.counters.plastic, 1);
    EXPECT_EQ(h.counters.negative, 1);
    EXPECT_EQ(h.counters.inaccurate, 1);
    EXPECT_EQ(h.counters.inaccurateTension, 0);
  }
  // Tension cut-off (2): trial (2, 4, 8) returns to (2 - a, 4 - a, 5) with
  // a = nu/(1-nu) * 3. First iteration: SigEQ = SigE, so the error is half
  // the correction over TauMax = c cos(phi).
  const double a = kNu / (1.0 - kNu) * 3.0;
  const double correction = std::sqrt(9.0 + 2.0 * a * a);
  for (double tol : {0.01, 0.5}) {
    PointHarness h(2, kG, kNu, kSinPhi, kSinPsi, kC, kT);
    h.in.sig0 = {2.0, 4.0, 8.0, 0.0, 0.0, 0.0};
    h.in.weight = 2.0;
    h.in.tol = tol;
    const MatSigOutput out = h.Run();
    // Inaccurate when |d|^2 > 4 (tol TauMax)^2: 12.3 > 0.03 but not > 75.
    const bool inaccurate = tol < 0.1;
    EXPECT_EQ(out.iArea, inaccurate ? 12 : 2) << tol;
    EXPECT_NEAR(out.sigC[0], 2.0 - a, 1e-12);
    EXPECT_NEAR(out.sigC[2], kT, 1e-12);
    EXPECT_NEAR(out.sigEminusC[2], 3.0, 1e-12);
    EXPECT_EQ(h.counters.tension, 1);
    EXPECT_EQ(h.counters.inaccurate, inaccurate ? 1 : 0);
    EXPECT_EQ(h.counters.inaccurateTension, inaccurate ? 1 : 0);
    EXPECT_NEAR(h.counters.sumErr, 0.5 * correction / kCohesi * 2.0, 1e-12);
    EXPECT_DOUBLE_EQ(h.counters.sumWt, 2.0);
  }
}

TEST(MatSig, ReferenceStressMovesThePreviousStressByTheScaledStrainChange) {
  // SigEQ = SigPrev + (1/omega) D (dEps - dEpsPrev); with omega = 0.5 and a
  // change of -5e-4 in xx that is SigPrev + (-3.5, -1.5, -1.5).
  PointHarness h(2, kG, kNu, kSinPhi, kSinPsi, kC, kT);
  h.in.iter = 3;
  h.in.iterFactor = 0.5;
  h.in.dEps = {-1e-3, 0, 0, 0, 0, 0};
  h.in.dEpsPrev = {-5e-4, 0, 0, 0, 0, 0};
  h.in.sig0 = {5.5, 5.5, 9.5, 0, 0, 0};  // trial (2, 4, 8)
  h.in.sigPrev = {1.0, 1.0, 1.0, 0, 0, 0};
  h.in.tol = 10.0;
  const MatSigOutput out = h.Run();
  EXPECT_EQ(out.iArea, 2);
  const Vec6 sigEQ{-2.5, -0.5, -0.5, 0, 0, 0};
  double d2 = 0.0;
  for (int i = 0; i < 6; ++i) d2 += (out.sigC[i] - sigEQ[i]) * (out.sigC[i] - sigEQ[i]);
  EXPECT_NEAR(h.counters.sumErr, 0.5 * std::sqrt(d2) / kCohesi, 1e-12);
}

TEST(MatSig, ModelsWithoutAStressRoutineEndInTheDefaultCase) {
  DiagCapture diag;
  for (int model : {3, 7, 10, 14}) {
    PointHarness h(model, kG, kNu, kSinPhi, kSinPsi, kC, kT);
    h.in.sig0 = {-50.0, -50.0, -50.0, 0, 0, 0};
    h.stVar[0] = -1.0;
    const MatSigOutput out = h.Run();
    EXPECT_EQ(out.iAbort, 246) << model;
    EXPECT_EQ(h.counters.plastic, 0);
    EXPECT_EQ(h.stVar[0], -1.0);  // nothing stored for a refused point
    EXPECT_NE(diag.Text().find(" Default case in getsig !!!??? " + std::to_string(model)),
              std::string::npos)
        << diag.Text();
  }
}

TEST(MatSig, ServesHoekBrownWithSignedReturnCodes) {
  // Hoek-Brown, GSI 100, mi 10, sci 100: a trial far outside in triaxial
  // compression comes back on the surface; its reference stress (the trial
  // itself in the first iteration) was not elastic, so iArea is +1.
  PointHarness hb(15, 10000.0, 0.25, 0.0, 0.0, 0.0, 0.0);
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
}

}  // namespace
}  // namespace soilcal::models
