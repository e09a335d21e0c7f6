// Returns of the Hardening Soil stress routine: each kind of return lands on
// every surface it makes active, with gamma_p and pc consistent with the
// plastic strains. Surfaces are checked in closed form to 1e-8 relative: the
// returns solve their conditions to 1e-13, the margin covers the principal
// decomposition and the rebuild of the stress vector. Random increments from
// random states then show that the routine always finds an admissible return
// (it reports on the diagnostic channel when it does not) and that the
// hardening never goes back.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "core_test_helpers.hpp"
#include "hardening_soil_point.hpp"

namespace soilcal::models::testing {
namespace {

constexpr double kRel = 1e-8;

Vec6 Isotropic(double p) { return {-p, -p, -p, 0, 0, 0}; }

// Bulk modulus of the step from the point's modulus at the step's start.
double BulkOf(const HsPoint& pt) {
  return 2.0 * pt.pms.G * (1.0 + pt.prop[2]) / (3.0 * (1.0 - 2.0 * pt.prop[2]));
}

TEST(HardeningSoil, IsotropicCompressionReturnsToTheCapWithItsHardeningModulus) {
  PropSoil p = SandProps();
  SetCap(p, 1.2, 1.6);
  HsPoint pt(p, Isotropic(100.0));
  EXPECT_NEAR(pt.pms.pc, 100.0, 1e-12);  // pc starts through the initial stress
  for (int i = 0; i < 5; ++i) {
    const double pc0 = pt.pms.pc;
    const double p0 = -MeanStress(pt.sig);
    pt.Refresh();
    const double K = BulkOf(pt);
    const double dEv = 1e-3;  // compression
    const StressCall c = pt.Step({-dEv / 3, -dEv / 3, -dEv / 3, 0, 0, 0});
    EXPECT_EQ(c.iArea, 3);
    const auto s = CompressionPrincipal(pt.sig);
    EXPECT_NEAR(CapSizeOf(s, p), pt.pms.pc, kRel * pt.pms.pc);
    // pc grows with H times the plastic volumetric strain, H = K/(Ks/Kc - 1).
    const double pNew = -MeanStress(pt.sig);
    const double plasticEv = dEv - (pNew - p0) / K;
    EXPECT_NEAR(pt.pms.pc - pc0, K / 0.6 * plasticEv, kRel * pt.pms.pc);
    EXPECT_GT(pt.pms.pc, pc0);
  }
}

TEST(HardeningSoil, OedometricLoadingHardensShearAndCapTogether) {
  PropSoil p = SandProps();
  SetCap(p, 1.16, 1.64);
  HsPoint pt(p, {-25.0, -50.0, -25.0, 0, 0, 0});  // K0 = 0.5 state, vertical yy
  int both = 0;
  for (int i = 0; i < 40; ++i) {
    const double pc0 = pt.pms.pc, p0 = -MeanStress(pt.sig);
    pt.Refresh();
    const double K = BulkOf(pt);
    const double H = K / (p[32] - 1.0);
    const StressCall c = pt.Step({0, -2e-4, 0, 0, 0, 0});
    const auto s = CompressionPrincipal(pt.sig);
    if (c.iArea != 4) continue;
    ++both;
    EXPECT_NEAR(CapSizeOf(s, p), pt.pms.pc, kRel * pt.pms.pc);
    EXPECT_NEAR(HyperbolaOf(s, p, pt.pms.G), pt.pms.v5, kRel * pt.pms.v5);
    EXPECT_NEAR(s[1], s[2], 1e-9 * s[0]);
    // The shear flow has no dilatancy on this path: all plastic volume
    // change is the cap's.
    const double plasticEv = 2e-4 - (-MeanStress(pt.sig) - p0) / K;
    EXPECT_NEAR(pt.pms.pc - pc0, H * plasticEv, kRel * pt.pms.pc);
  }
  EXPECT_GT(both, 30);
}

TEST(HardeningSoil, CapAndFailureTogetherLandOnBothSurfaces) {
  PropSoil p = SandProps();
  p[4] = 2.0;
  SetCap(p, 1.2, 1.6);
  HsPoint pt(p, Isotropic(100.0));
  pt.pms.v5 = 10.0;
  const double pc0 = pt.pms.pc;
  // Strong axial compression with some lateral extension: the cap alone
  // would leave the stress beyond failure.
  const StressCall c = pt.Step({0.002, -0.03, 0.001, 0, 0, 0});
  const auto s = CompressionPrincipal(pt.sig);
  EXPECT_EQ(c.iArea, 1);
  EXPECT_GT(pt.pms.pc, pc0);
  EXPECT_NEAR(MohrCoulombOf(s, p), 0.0, kRel * s[0]);
  EXPECT_NEAR(CapSizeOf(s, p), pt.pms.pc, kRel * pt.pms.pc);
}

TEST(HardeningSoil, TensionCutOffAndApexBoundTheTensileSide) {
  PropSoil p = SandProps();
  p[4] = 5.0;
  p[16] = 1.0;  // tensile strength 1 kPa
  SetCap(p, 1.0, 1.0);
  {
    HsPoint pt(p, Isotropic(10.0));
    const StressCall c = pt.Step({0.002, -0.0001, 0.0, 0, 0, 0});
    const auto s = CompressionPrincipal(pt.sig);
    EXPECT_EQ(c.iArea, 2);
    EXPECT_TRUE(c.tension);
    EXPECT_NEAR(s[2], -1.0, kRel * 10.0);  // sigma_3 on the tensile strength
    EXPECT_LE(MohrCoulombOf(s, p), kRel * 10.0);
  }
  {
    p[16] = 0.0;
    HsPoint pt(p, Isotropic(10.0));
    const StressCall c = pt.Step({0.01, 0.01, 0.01, 0, 0, 0});
    EXPECT_EQ(c.iArea, 2);
    EXPECT_TRUE(c.apex);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(pt.sig[i], 0.0, 1e-9);
  }
}

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
  const double tol = kRel * scale;
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
