// The Hardening Soil stress point. The cap-parameter library against the two
// conditions it is built on, and the per-test completion that calls it. Then
// the returns of the stress routine: each kind of return lands on every
// surface it makes active, with gamma_p and pc consistent with the plastic
// strains. Surfaces are checked in closed form to 1e-8 relative: the returns
// solve their conditions to 1e-13, the margin covers the principal
// decomposition and the rebuild of the stress vector. Random increments from
// random states then show that the routine always finds an admissible return
// (it reports on the diagnostic channel when it does not) and that the
// hardening never goes back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include "core_test_helpers.hpp"
#include "hardening_soil_point.hpp"

namespace soilcal::models::testing {
namespace {

struct CapResult {
  double alpha = -1.0, ksKc = -1.0, giRef = -1.0, extra = -1.0, work = -1.0;
  int status = -999;
};

CapResult Call(HsCapItrFn fn, const PropSoil& p, double k0, double eoed) {
  CapResult r;
  const double eur = 2.0 * p[1] * (1.0 + p[2]);
  fn(p[40], eur, p[2], &r.work, p[35], p[37], p[34], k0, eoed, &r.alpha, &r.ksKc, &r.giRef,
     &r.extra, &r.work, &r.status);
  return r;
}

TEST(HardeningSoilCapLibrary, RefusesWhatNoCapCanReproduceAndWritesNothing) {
  CapLibrary cap;
  const HsCapItrFn fn = cap.res.capItr;
  ASSERT_NE(fn, nullptr);
  const PropSoil p = SandProps();
  // Eur/((1 + 2 K0)(1 - 2 nu)) at the K0nc state is the stiffest oedometer
  // the elastic part allows: 60000 * 0.5^0.5 / (2 * 0.6) = 35355.
  const CapResult tooStiff = Call(fn, p, 0.5, 36000.0);
  EXPECT_NE(tooStiff.status, 0);
  EXPECT_EQ((std::array{tooStiff.alpha, tooStiff.ksKc, tooStiff.giRef}),
            (std::array{-1.0, -1.0, -1.0}));
  // The lateral condition needs a positive 1/alpha^2: 1/Eoed above the
  // vertical minus lateral strain rates of the elastic and shear parts,
  // (1 - K0)(1 + nu)/Eur + 3/4 l_s = 1/31400 here; between the two limits the
  // cap would have to pull the lateral stress the wrong way.
  EXPECT_NE(Call(fn, p, 0.5, 33000.0).status, 0);
  EXPECT_EQ(Call(fn, p, 0.5, 30000.0).status, 0);
  EXPECT_NE(Call(fn, p, 1.0, 20000.0).status, 0);   // isotropic line: no cap shape
  EXPECT_NE(Call(fn, p, 0.5, -1.0).status, 0);      // no oedometric stiffness
}

// A stand-in for the library that records its arguments.
struct Recorded {
  int calls = 0;
  std::array<double, 9> args{};
  std::array<double, 6> placesBefore{};
  int statusBefore = 0;
  int statusToReturn = 0;
};
Recorded& Record() {
  static Recorded r;
  return r;
}
void FakeCapItr(double e50, double eur, double nu, double* work, double pref, double rf, double m,
                double k0, double eoed, double* alpha, double* ksKc, double* gi, double* extra,
                double* work2, int* status) {
  Recorded& r = Record();
  ++r.calls;
  r.args = {e50, eur, nu, pref, rf, m, k0, eoed, work == work2 ? 1.0 : 0.0};
  r.placesBefore = {*work, *alpha, *ksKc, *gi, *extra, *work2};
  r.statusBefore = *status;
  *status = r.statusToReturn;
  if (r.statusToReturn == 0) {
    *alpha = 1.5;
    *ksKc = 2.5;
    *gi = 1234.0;
  } else {
    *alpha = 99.0;  // a failing routine may scribble: nothing may be taken
  }
}

TEST(HardeningSoilCompletion, HandsTheFifteenArgumentsAndTakesThreeResults) {
  Record() = Recorded{};
  PropSoil p = SandProps();
  ModelResources res;
  res.capItr = &FakeCapItr;
  ASSERT_EQ(hs::PerTestCompletion(p, ModelConstants{}, res), 0);
  const Recorded& r = Record();
  EXPECT_EQ(r.calls, 1);
  // E50ref, Eur,ref = 2 Gref (1 + nu), nu, pref, Rf, m, K0nc = 1 - sin(phi)
  // for a negative slot, Eoed,ref; arguments 4 and 14 are one cell.
  const double expected[9] = {20000.0, 60000.0, 0.2, 100.0, 0.9, 0.5, 0.5, 20000.0, 1.0};
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(r.args[i], expected[i]) << "argument " << i;
  for (double v : r.placesBefore) EXPECT_EQ(v, -1.0);
  EXPECT_EQ(r.statusBefore, -999);
  EXPECT_EQ((std::array{p[31], p[32], p[36]}), (std::array{1.5, 2.5, 1234.0}));
  EXPECT_DOUBLE_EQ(p[39], 0.5);                  // the K0nc used is written back

  // A failing routine leaves every slot as it was and stops the test (2).
  Record().statusToReturn = 3;
  PropSoil q = SandProps();
  const PropSoil before = q;
  EXPECT_EQ(hs::PerTestCompletion(q, ModelConstants{}, res), 2);
  EXPECT_EQ(q.slot, before.slot);
  // Without a loaded routine a frictional set cannot be completed.
  EXPECT_EQ(hs::PerTestCompletion(q, ModelConstants{}, ModelResources{}), 2);
  EXPECT_EQ(q.slot, before.slot);
}

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
