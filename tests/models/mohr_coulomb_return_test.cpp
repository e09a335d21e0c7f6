// Closed-form returns of the Mohr-Coulomb model with tension cut-off, and
// sweeps of random trial stresses through the return.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include "core_test_helpers.hpp"
#include "models/mohr_coulomb/mc_return.hpp"
#include "models/mohr_coulomb/mc_sig.hpp"

namespace soilcal::models {
namespace {

using mohr_coulomb::FindReturnZone;
using mohr_coulomb::McParams;
using mohr_coulomb::ReturnPrincipalStresses;
using mohr_coulomb::YieldFunctions;
using testing::CallFor;
using testing::Rotation;

constexpr double kDeg = std::numbers::pi / 180.0;

// phi = 30 deg, psi = 5 deg, c = 10, T = 5, G = 1000, nu = 0.3.
McParams WorkedExample() {
  return {0.5, std::sin(5.0 * kDeg), 10.0 * std::cos(30.0 * kDeg), 5.0, 1000.0, 0.3};
}

TEST(MohrCoulomb, TriaxialReturnsGoToTheEdgesOfEqualMinorOrMajorStresses) {
  const McParams m = WorkedExample();
  // {trial, zone, returned}: compression to the edge of equal minor stresses,
  // extension to that of equal major ones; reference values are quoted to
  // three decimals.
  const std::tuple<Vec3, int, Vec3> cases[] = {
      {{-300.0, -50.0, -50.0}, 3, {-267.835, -77.731, -77.731}},
      {{-300.0, -300.0, -20.0}, 1, {-283.192, -283.192, -82.850}}};
  for (const auto& [trial, zone, returned] : cases) {
    EXPECT_EQ(FindReturnZone(trial, m), zone);
    const auto r = ReturnPrincipalStresses(trial, m, 1);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(r.sig[i], returned[i], 1e-3) << zone << " " << i;
    EXPECT_FALSE(r.tension);
  }

  // Through MC_Sig with the trial as reference stress: plastic before too.
  const Vec3 trial{-300.0, -50.0, -50.0};
  const Mat3 frame = Rotation(0.4, -1.1, 2.3);
  StressCall call = CallFor(m, RebuildStress(trial, frame), RebuildStress(trial, frame));
  MC_Sig(call);
  EXPECT_EQ(call.iArea, 1);
  // TauMax is half the principal stress difference of the returned state.
  EXPECT_NEAR(call.tauMax, 0.5 * (267.835 - 77.731), 1e-3);

  // From an elastic reference stress the point is newly plastic.
  call = CallFor(m, RebuildStress(trial, frame), Vec6{-100.0, -100.0, -100.0});
  MC_Sig(call);
  EXPECT_EQ(call.iArea, -1);

  // sin(phi) = 1 is used as 0.999 and written back.
  McParams vertical = m;
  vertical.s = 1.0;
  call = CallFor(vertical, RebuildStress(trial, frame), RebuildStress(trial, frame));
  MC_Sig(call);
  EXPECT_EQ(call.SPhi, 0.999);
  vertical.s = 0.999;
  const Vec6 bounded = RebuildStress(ReturnPrincipalStresses(trial, vertical, 1).sig, frame);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(call.sigC[i], bounded[i], 1e-9) << i;
}

TEST(MohrCoulomb, SinglePlaneReturnFollowsTheNonAssociatedFlowDirection) {
  // A trial with three distinct principal stresses returns to F31 = 0 along
  // D * dg31/dsigma: (d/m - 1, 2 nu d/m, 1 + d/m) G, with m = 1 - 2 nu.
  const McParams m = WorkedExample();
  const Vec3 trial{-300.0, -150.0, -60.0};
  ASSERT_EQ(FindReturnZone(trial, m), 2);
  const auto r = ReturnPrincipalStresses(trial, m, 1);
  const double mm = 1.0 - 2.0 * m.nu;
  const Vec3 a{m.G * (m.d / mm - 1.0), 2.0 * m.G * m.nu * m.d / mm, m.G * (1.0 + m.d / mm)};
  const double lambda = (trial[2] - r.sig[2]) / a[2];
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(trial[i] - r.sig[i], lambda * a[i], 1e-9) << i;
  EXPECT_NEAR(YieldFunctions(r.sig, m).F31, 0.0, 1e-9);
}

TEST(MohrCoulomb, IsotropicTensionEndsAtTheApexOfTheCutOff) {
  const McParams m = WorkedExample();
  const Vec6 trial{20.0, 20.0, 20.0, 0.0, 0.0, 0.0};
  StressCall call = CallFor(m, trial, trial);
  MC_Sig(call);
  EXPECT_EQ(call.iArea, 2);
  EXPECT_TRUE(call.apex);
  EXPECT_FALSE(call.tension);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(call.sigC[i], m.T, 1e-12);
  for (int i = 3; i < 6; ++i) EXPECT_NEAR(call.sigC[i], 0.0, 1e-12);
  // TauMax falls back on c cos(phi) when the returned state has no deviator.
  EXPECT_DOUBLE_EQ(call.tauMax, m.cc);
}

TEST(MohrCoulomb, UniaxialTensionIsCutOffAtTheTensileStrength) {
  // sigma3 above T inside the shear surface: zone 4 brings sigma3 to T and
  // moves the others by nu/(1 - nu) of that change (the cut-off flow is
  // normal to sigma3 only).
  const McParams m = WorkedExample();
  const Vec3 trial{2.0, 4.0, 8.0};
  ASSERT_EQ(FindReturnZone(trial, m), 4);
  const auto r = ReturnPrincipalStresses(trial, m, 1);
  const double change = trial[2] - m.T;
  EXPECT_NEAR(r.sig[2], m.T, 1e-12);
  EXPECT_NEAR(r.sig[0], trial[0] - m.nu / (1.0 - m.nu) * change, 1e-12);
  EXPECT_NEAR(r.sig[1], trial[1] - m.nu / (1.0 - m.nu) * change, 1e-12);
  EXPECT_TRUE(r.tension);

  // Through MC_Sig the cut-off gives iArea 2 even when the reference stress
  // is elastic.
  StressCall call = CallFor(m, {2.0, 4.0, 8.0, 0.0, 0.0, 0.0}, Vec6{-100.0, -100.0, -100.0});
  MC_Sig(call);
  EXPECT_EQ(call.iArea, 2);
  EXPECT_TRUE(call.tension);
}

TEST(MohrCoulomb, ElasticTrialIsLeftUntouched) {
  const McParams m = WorkedExample();
  // sigma1 chosen so that F31 = excess with sigma3 < T (principal axes along
  // x, y, z so that no decomposition rounding enters).
  const auto trialWith = [&](double excess) {
    const double s3 = -20.0;
    const double s1 = (2.0 * m.cc + 2.0 * excess - s3 * (1.0 + m.s)) / (m.s - 1.0);
    return Vec6{s1, -30.0, s3, 0.0, 0.0, 0.0};
  };
  const Vec6 trial = trialWith(1e-13);
  StressCall call = CallFor(m, trial, trial);
  call.tauMax = 1.0;
  MC_Sig(call);
  EXPECT_EQ(call.iArea, 0);
  EXPECT_EQ(call.sigC, trial);
  EXPECT_EQ(call.tauMax, 1.0);  // left as the caller set it

  StressCall beyond = CallFor(m, trialWith(1e-6), trialWith(1e-6));
  MC_Sig(beyond);
  EXPECT_EQ(beyond.iArea, 1);
  EXPECT_LT(beyond.sigC[0] - trial[0], 1e-5);
}

TEST(MohrCoulomb, TrescaReturnKeepsTheDeviatorAtTwiceTheCohesion) {
  // phi = psi = 0: F31 = (sigma3 - sigma1)/2 - c, flow purely deviatoric, so
  // the mean stress is kept and sigma3 - sigma1 = 2c after the return.
  const McParams m{0.0, 0.0, 25.0, 1e3, 2000.0, 0.25};
  EXPECT_DOUBLE_EQ(mohr_coulomb::Sigma1Star(m), m.T - 2.0 * m.cc);
  const Vec3 trial{-250.0, -170.0, -100.0};
  const auto r = ReturnPrincipalStresses(trial, m, 1);
  EXPECT_EQ(r.zone, 2);
  EXPECT_NEAR(r.sig[2] - r.sig[0], 2.0 * m.cc, 1e-10);
  EXPECT_NEAR(r.sig[0] + r.sig[1] + r.sig[2], trial[0] + trial[1] + trial[2], 1e-10);
  EXPECT_NEAR(r.sig[1], trial[1], 1e-10);  // a2 = 2 G nu d/m = 0
}

// Material and trial drawn at random; T at most c cot(phi), the condition
// under which every zone lands on the admissible surface.
struct Draw {
  McParams m;
  Vec3 trial;
  Mat3 frame;
};

Draw RandomDraw(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double phi = (5.0 + 40.0 * u(rng)) * kDeg;
  const double psi = phi * u(rng);
  const double c = 1.0 + 30.0 * u(rng);
  // The draws are made in the order of the members (a braced list is
  // evaluated left to right).
  const McParams m{.s = std::sin(phi), .d = std::sin(psi), .cc = c * std::cos(phi),
                   .T = u(rng) * c * std::cos(phi) / std::sin(phi),
                   .G = 500.0 + 20000.0 * u(rng), .nu = 0.45 * u(rng)};
  Draw d{m, {}, Rotation(6.3 * u(rng), 6.3 * u(rng), 6.3 * u(rng))};
  // Trials around the apex region, compressive and tensile.
  std::uniform_real_distribution<double> s(-400.0, 100.0);
  d.trial = {s(rng), s(rng), s(rng)};
  std::sort(d.trial.begin(), d.trial.end());
  return d;
}

TEST(MohrCoulomb, EveryPlasticTrialEndsOnTheAdmissibleSurface) {
  std::mt19937_64 rng(20240611);
  int plastic = 0;
  int zonesSeen[10] = {};
  for (int n = 0; n < 20000; ++n) {
    const Draw d = RandomDraw(rng);
    const auto f0 = YieldFunctions(d.trial, d.m);
    if (f0.F31 <= 1e-12 && f0.FT3 <= 1e-12) continue;
    ++plastic;
    const auto r = mohr_coulomb::ReturnPrincipalStresses(d.trial, d.m, n);
    ++zonesSeen[r.zone];
    ASSERT_NE(r.zone, 0) << "trial " << d.trial[0] << " " << d.trial[1] << " " << d.trial[2];
    const auto f = YieldFunctions(r.sig, d.m);
    // 1e-6 is the acceptance bound of the return itself.
    ASSERT_TRUE(f.AllAtMost(1e-6))
        << "zone " << r.zone << " trial " << d.trial[0] << " " << d.trial[1] << " "
        << d.trial[2] << " F " << f.F21 << " " << f.F32 << " " << f.F31 << " " << f.FT1 << " "
        << f.FT2 << " " << f.FT3;
  }
  EXPECT_GT(plastic, 10000);
  // The sweep must exercise the shear, tension and corner zones.
  for (int zone : {1, 2, 3, 4, 5, 6, 7, 8, 9}) EXPECT_GT(zonesSeen[zone], 0) << "zone " << zone;
}

TEST(MohrCoulomb, ReturnInARotatedFrameIsTheRotatedPrincipalReturn) {
  std::mt19937_64 rng(7);
  for (int n = 0; n < 3000; ++n) {
    const Draw d = RandomDraw(rng);
    const Vec6 trial = RebuildStress(d.trial, d.frame);
    StressCall call = CallFor(d.m, trial, trial);
    MC_Sig(call);
    if (call.iArea == 0) continue;

    // The return in principal space rotated back with the trial's directions
    // (the frame rows); the decomposition of the rotated tensor carries
    // rounding of order 1e-13 of the stress level, hence 1e-8 absolute.
    const auto r = mohr_coulomb::ReturnPrincipalStresses(d.trial, d.m, n);
    const Vec6 expected = RebuildStress(r.sig, d.frame);
    for (int i = 0; i < 6; ++i) ASSERT_NEAR(call.sigC[i], expected[i], 1e-8) << n;
  }
}

}  // namespace
}  // namespace soilcal::models
