// Random increments from random states: every returned stress satisfies
// every surface of the model, the hardening never goes back, and the
// routine always finds an admissible return (it reports on the diagnostic
// channel when it does not).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core_test_helpers.hpp"
#include "hardening_soil_point.hpp"

namespace soilcal::models::testing {
namespace {

struct Tally {
  int plastic = 0;
  int cap = 0;
  int failure = 0;
  int tension = 0;
};

void SweepOne(std::mt19937& rng, const PropSoil& p, Tally& tally) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double p0 = 20.0 + 140.0 * (1.0 + u(rng));
  const Vec6 initial{-p0 * (1.0 + 0.3 * u(rng)), -p0 * (1.0 + 0.6 * std::fabs(u(rng))),
                     -p0 * (1.0 + 0.3 * u(rng)), 0.1 * p0 * u(rng), 0.0, 0.0};
  HsPoint pt(p, initial);
  const double size = std::pow(10.0, -4.0 + 2.3 * 0.5 * (1.0 + u(rng)));
  Vec6 d{};
  for (double& x : d) x = size * u(rng);
  pt.Refresh();
  const double g0 = pt.pms.v5, pc0 = pt.pms.pc, G = pt.pms.G;
  const StressCall c = pt.Step(d);
  const auto s = CompressionPrincipal(pt.sig);
  const double scale = std::max({std::fabs(s[0]), std::fabs(s[2]), 10.0});
  // Tolerances: the returns solve to 1e-13; 1e-8 covers the rebuild of the
  // stress vector and the second decomposition made here.
  const double tol = 1e-8 * scale;
  const double cCos = p[4] * std::sqrt(1.0 - p[3] * p[3]);
  const double sigT = std::max(-0.99999999 * cCos / p[3], -p[16]);
  EXPECT_LE(MohrCoulombOf(s, p), tol);
  EXPECT_GE(s[2], sigT - tol);
  EXPECT_LE(CapSizeOf(s, p), pt.pms.pc * (1.0 + 1e-8) + tol);
  const double f = HyperbolaOf(s, p, G);
  EXPECT_LE(f, pt.pms.v5 + 1e-8 * std::max(pt.pms.v5, 1e-4));
  EXPECT_GE(pt.pms.v5, g0);
  EXPECT_GE(pt.pms.pc, pc0);
  if (c.iArea != 0) ++tally.plastic;
  if (pt.pms.pc > pc0) ++tally.cap;
  if (c.iArea == 1) ++tally.failure;
  if (c.iArea == 2) ++tally.tension;
}

TEST(HardeningSoilSweep, EveryReturnIsAdmissibleAndHardeningNeverGoesBack) {
  DiagCapture diag;
  std::mt19937 rng(20261206);
  Tally tally;
  for (int set = 0; set < 4; ++set) {
    PropSoil p = SandProps();
    p[4] = (set % 2) ? 5.0 : 0.5;      // c
    p[16] = (set / 2) ? 2.0 : 0.0;     // tensile strength
    p[5] = (set == 3) ? 0.1 : 0.0;     // sin psi
    SetCap(p, 1.16, 1.64);
    for (int i = 0; i < 600; ++i) SweepOne(rng, p, tally);
  }
  const std::string log = diag.Text();
  EXPECT_EQ(log.find("no admissible"), std::string::npos) << log.substr(0, 2000);
  // The sweep reaches every kind of return.
  EXPECT_GT(tally.plastic, 1500);
  EXPECT_GT(tally.cap, 500);
  EXPECT_GT(tally.failure, 15);
  EXPECT_GT(tally.tension, 100);
}

}  // namespace
}  // namespace soilcal::models::testing
