// Sweeps of random trial stresses through the Mohr-Coulomb return.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "core_test_helpers.hpp"
#include "models/mohr_coulomb/mc_return.hpp"
#include "models/mohr_coulomb/mc_sig.hpp"

namespace soilcal::models {
namespace {

using mohr_coulomb::McParams;
using mohr_coulomb::YieldFunctions;
using testing::CallFor;
using testing::Rotation;

constexpr double kDeg = std::numbers::pi / 180.0;

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
  McParams m;
  m.s = std::sin(phi);
  m.d = std::sin(psi);
  m.cc = c * std::cos(phi);
  m.T = u(rng) * m.cc / m.s;
  m.G = 500.0 + 20000.0 * u(rng);
  m.nu = 0.45 * u(rng);
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
