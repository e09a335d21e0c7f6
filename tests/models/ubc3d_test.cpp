// The UBC3D sand (model 34) at one stress point: its completion, its return
// (hardening loading onto the surface, unloading that follows the ratio
// down and compacts, the peak strength, the apex) and the stiffness the step
// solver takes from it against finite differences of MatSig.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "models/matsig.hpp"
#include "models/principal.hpp"
#include "models/setup.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::models::ubc3d {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The medium dense sand of the lab tests (tests/labtest/ubc3d_sand.hpp).
MaterialSet Sand() {
  MaterialSet set;
  set.modelCode = 34;
  const std::pair<int, double> slots[] = {
      {20, 0.4}, {31, 1000.0}, {32, 700.0}, {33, 300.0}, {34, 0.5}, {35, 100.0}, {36, 0.5},
      {37, 0.4}, {38, 33.0},   {39, 36.0},  {40, 0.8},   {41, 1.0}, {42, 1.0},  {43, 8.0}};
  for (const auto& [slot, value] : slots) set.prop[slot] = value;
  CopySoilProp(1, set, ModelConstants{});
  return set;
}

TEST(UbcSandSetUp, PeakAngleGivesSlot3AndTheBlowCountCompletesWhatIsNotGiven) {
  const MaterialSet sand = Sand();
  EXPECT_NEAR(sand.prop[3], std::sin(36.0 * kDegree), 1e-15);
  EXPECT_EQ(sand.prop[31], 1000.0);  // given values are kept
  // Only (N1)60 = 10 and phi_cv = 32: K_G^e = 21.7 x 20 x 10^0.333,
  // K_B^e = 0.7 K_G^e, K_G^p = K_G^e 10^2 0.003 + 100, phi_p = phi_cv + 1,
  // Rf = 1.1 x 10^-0.15; f_dens of the field curve, exp(0.92 - 0.97) =
  // 0.951; f_Epost 1; pref the job's 100 kPa.
  MaterialSet set;
  set.modelCode = 34;
  set.prop[43] = 10.0;
  set.prop[38] = 32.0;
  CopySoilProp(1, set, ModelConstants{});
  const double kge = 434.0 * std::pow(10.0, 0.333);
  EXPECT_NEAR(set.prop[31], kge, 1e-9 * kge);
  EXPECT_NEAR(set.prop[32], 0.7 * kge, 1e-9 * kge);
  EXPECT_NEAR(set.prop[33], 0.3 * kge + 100.0, 1e-9 * kge);
  EXPECT_NEAR(set.prop[39], 33.0, 1e-12);
  EXPECT_NEAR(set.prop[40], 1.1 * std::pow(10.0, -0.15), 1e-12);
  EXPECT_NEAR(set.prop[3], std::sin(33.0 * kDegree), 1e-15);
  EXPECT_NEAR(set.prop[41], 0.9512, 1e-4);
  EXPECT_EQ(set.prop[42], 1.0);
  EXPECT_EQ(set.prop[35], 100.0);
  // Poisson's ratio of K and G, clamped to [0, 0.495].
  EXPECT_NEAR(PoissonOf(700.0, 1000.0), (2100.0 - 2000.0) / (4200.0 + 2000.0), 1e-15);
  EXPECT_EQ(PoissonOf(1e6, 1.0), 0.495);
  EXPECT_EQ(PoissonOf(100.0, 1000.0), 0.0);
}

// With only (N1)60 and phi_cv given, every correlated slot is filled with
// the published value, the exponents included, and a dense sand (above 15
// blows) gets the extra peak angle ((N1)60 - 15)/5 degrees on top of
// (N1)60/10; given exponents are kept.
TEST(UbcSandSetUp, BlowCountFillsExponentsAndThePeakAngleOfDenseSands) {
  struct Case {
    double n160, phiCv, phiP;
  };
  // phi_p = phi_cv + N/10 + max(0, (N - 15)/5): 5 -> +0.5, 15 -> +1.5,
  // 25 -> +2.5 + 2 = +4.5, 30 -> +3 + 3 = +6.
  for (const Case c : {Case{5, 33, 33.5}, Case{15, 33, 34.5}, Case{25, 33, 37.5},
                       Case{30, 32, 38}}) {
    SCOPED_TRACE(c.n160);
    MaterialSet set;
    set.modelCode = 34;
    set.prop[43] = c.n160;
    set.prop[38] = c.phiCv;
    CopySoilProp(1, set, ModelConstants{});
    EXPECT_EQ(set.prop[34], 0.5);  // ne
    EXPECT_EQ(set.prop[36], 0.5);  // me
    EXPECT_EQ(set.prop[37], 0.4);  // np
    EXPECT_NEAR(set.prop[39], c.phiP, 1e-12);
    const double kge = 434.0 * std::pow(c.n160, 0.333);
    EXPECT_NEAR(set.prop[31], kge, 1e-9 * kge);
    EXPECT_NEAR(set.prop[33], kge * c.n160 * c.n160 * 0.003 + 100.0, 1e-9 * kge);
    EXPECT_NEAR(set.prop[40], std::min(0.99, 1.1 * std::pow(c.n160, -0.15)), 1e-12);
    // f_dens fitted to the field curve, exp(0.92 - 0.097 N) with N within
    // 5 to 25: 1.58 at 5, 0.541 at 15, 0.185 at 25 and 30.
    EXPECT_NEAR(set.prop[41], std::exp(0.92 - 0.097 * std::min(c.n160, 25.0)), 1e-12);
    // The exponents reach the moduli: G at p' = 4 pref is twice G at pref.
    const Params m = MakeParams(set.prop, ModelConstants{});
    EXPECT_NEAR(ElasticModuli(m, {-400, -400, -400, 0, 0, 0}).G,
                2.0 * ElasticModuli(m, {-100, -100, -100, 0, 0, 0}).G, 1e-9 * kge);
  }
  // Given exponents stay, a zero (N1)60 fills nothing.
  MaterialSet given;
  given.modelCode = 34;
  given.prop[43] = 10.0;
  given.prop[34] = 0.7;
  given.prop[37] = 0.6;
  given.prop[41] = 2.0;
  CopySoilProp(1, given, ModelConstants{});
  EXPECT_EQ(given.prop[34], 0.7);
  EXPECT_EQ(given.prop[37], 0.6);
  EXPECT_EQ(given.prop[41], 2.0);  // the user's f_dens wins
  MaterialSet none;
  none.modelCode = 34;
  none.prop[31] = 500.0;
  CopySoilProp(1, none, ModelConstants{});
  EXPECT_EQ(none.prop[34], 0.0);
  EXPECT_EQ(none.prop[33], 0.0);
  EXPECT_EQ(none.prop[41], 1.0);
}

struct Point {
  Params m;
  Moduli mod;
  PointState s;
  double p0 = 0.0;
};

// A point at principal stresses c (compression positive) on the surface of
// its own ratio, as the initialisation leaves it.
Point PointAt(const Vec3& c) {
  const MaterialSet sand = Sand();
  Point pt;
  pt.m = MakeParams(sand.prop, ModelConstants{});
  pt.mod = ElasticModuli(pt.m, {-c[0], -c[1], -c[2], 0, 0, 0});
  pt.s.sinMob = StressRatio(c, pt.m.a);
  pt.p0 = (c[0] + c[1] + c[2]) / 3.0;
  pt.s.p0 = pt.p0;
  return pt;
}

// The elastic trial of principal strain increments d (compression positive).
Vec3 Trial(const Point& pt, const Vec3& c, const Vec3& d) {
  const double lam = pt.mod.K - 2.0 * pt.mod.G / 3.0, tr = lam * (d[0] + d[1] + d[2]);
  return {c[0] + tr + 2.0 * pt.mod.G * d[0], c[1] + tr + 2.0 * pt.mod.G * d[1],
          c[2] + tr + 2.0 * pt.mod.G * d[2]};
}

TEST(UbcSandReturn, LoadingHardensOntoTheSurfaceAndUnloadingFollowsTheRatioDown) {
  const Vec3 k0{100.0, 50.0, 50.0};
  Point pt = PointAt(k0);
  // Loading: the returned state lies on the hardened surface (1e-12), which
  // rose; below phi_cv the plastic strain compacts.
  const Vec3 loadTrial = Trial(pt, k0, {1e-4, -5e-5, -5e-5});
  const Return load = ReturnUbc(loadTrial, pt.p0, pt.mod, pt.m, pt.s);
  EXPECT_EQ(load.area, 1);
  EXPECT_NEAR(StressRatio(load.c, pt.m.a), load.state.sinMob, 1e-12);
  EXPECT_GT(load.state.sinMob, pt.s.sinMob);
  EXPECT_LT(load.state.sinMob, pt.m.sinPhiCv);
  EXPECT_GT(load.state.gammaP, 0.0);
  EXPECT_GT(load.state.epsVp, 0.0);
  EXPECT_EQ(load.state.direction, 1.0);
  EXPECT_EQ(load.state.reversals, 0.0);
  // The plastic strain took stress off the elastic trial.
  EXPECT_LT(load.c[0] - load.c[2], loadTrial[0] - loadTrial[2]);

  // Unloading from there: the surface follows the ratio of the returned
  // state, the sand compacts (the mean stress ends below the trial's), and
  // the turn is counted.
  const Vec3 unloadTrial = Trial(pt, load.c, {-2e-5, 1e-5, 1e-5});
  const Return unload = ReturnUbc(unloadTrial, pt.p0, pt.mod, pt.m, load.state);
  EXPECT_EQ(unload.area, 3);
  EXPECT_NEAR(StressRatio(unload.c, pt.m.a), unload.state.sinMob, 1e-12);
  EXPECT_LT(unload.state.sinMob, load.state.sinMob);
  EXPECT_LT(unload.c[0] + unload.c[1] + unload.c[2], unloadTrial[0] + unloadTrial[1] + unloadTrial[2]);
  EXPECT_EQ(unload.c[0] - unload.c[2], unloadTrial[0] - unloadTrial[2]);  // shear elastic
  EXPECT_EQ(unload.state.reversals, 1.0);
  // Loading again: a second turn, plastic at once from the current ratio.
  const Return reload = ReturnUbc(Trial(pt, unload.c, {1e-6, -5e-7, -5e-7}), pt.p0, pt.mod, pt.m,
                                  unload.state);
  EXPECT_EQ(reload.area, 1);
  EXPECT_EQ(reload.state.reversals, 2.0);

  // However far the shear goes, the ratio stops at sin phi_p.
  const Return far = ReturnUbc(Trial(pt, k0, {0.05, -0.025, -0.025}), pt.p0, pt.mod, pt.m, pt.s);
  EXPECT_NEAR(StressRatio(far.c, pt.m.a), pt.m.sinPhiP, 1e-12);
  EXPECT_NEAR(far.c[1], far.c[2], 1e-12 * far.c[0]);  // triaxial: the corner keeps them equal
  // A trial stretched beyond zero mean stress returns to the apex (no
  // cohesion, no tensile strength: zero stress).
  const Return apex = ReturnUbc({-10.0, -20.0, -30.0}, pt.p0, pt.mod, pt.m, pt.s);
  EXPECT_TRUE(apex.apex);
  for (double c : apex.c) EXPECT_EQ(c, 0.0);
}

// MatSig of the sand from stress sig0 (state initialised there) for the
// strain increment dEps; the returned stress.
Vec6 StressAfter(const Vec6& sig0, const Vec6& dEps) {
  MaterialSet set = Sand();
  ModelConstants k;
  const ModelFamily* family = FindModelFamily(34);
  std::vector<double> st0(kStateCapacity, 0.0), st(kStateCapacity, 0.0);
  PointMatState pms;
  GenMat({.prop = &set.prop, .k = &k, .model = 34, .stress = sig0}, pms);
  PointInitCall init{.prop = &set.prop, .k = &k, .model = 34, .modelCode = 34,
                     .initialStress = sig0, .pms = &pms,
                     .stVar = st0.data() + kModelStateOffset, .nStat = kStateVars};
  EXPECT_EQ(family->initPoint(init), 0);
  pms.Store(st0.data() + kPointMatStatePos);
  st = st0;
  MatSigInput in;
  in.model = 34;
  in.set = &set;
  in.k = &k;
  in.family = family;
  in.sig0 = sig0;
  in.dEps = dEps;
  in.stVar0 = st0.data();
  in.stVar = st.data();
  in.nStat = kStateVars;
  ModelResources res;
  MatSigOutput out;
  MatSigCounters counters;
  services::KernelMessageTexts texts;
  MatSig(in, res, out, counters, texts);
  EXPECT_EQ(out.iAbort, 0);
  return out.sigC;
}

TEST(UbcSandReturn, StepSolverStiffnessIsTheFiniteDifferenceTangentWhereTheSandIsElastic) {
  // The step solver's matrix: the isotropic one of G and K at the mean
  // stress of the start of the step (the family's elastic matrix).
  const MaterialSet set = Sand();
  const ModelConstants k;
  for (const Vec6& sig0 : {Vec6{-80, -80, -80, 0, 0, 0}, Vec6{-50, -100, -50, 0, 0, 0}}) {
    SCOPED_TRACE(sig0[1]);
    std::vector<double> st0(kStateCapacity, 0.0);
    const Moduli mod = ElasticModuli(MakeParams(set.prop, k), sig0);
    st0[kModelStateOffset + kFactorG] = mod.factorG;
    st0[kModelStateOffset + kFactorK] = mod.factorK;
    ElasticCall ec{.set = &set, .k = &k, .model = 34, .stVar0 = st0.data(),
                   .nStat = kStateVars, .sig0 = sig0};
    ElasticMatrix(ec);
    ASSERT_NEAR(ec.G, 1000.0 * 100.0 * std::sqrt(-MeanStress(sig0) / 100.0), 1e-9 * ec.G);
    // Central differences of 1e-8 strain. Where the ratio does not rise
    // (isotropic compression from an isotropic state; unloading of the K0
    // state) the deviatoric response is elastic, and the whole of it where
    // nothing compacts (relative 1e-6: the finite-difference error).
    int compared = 0;
    for (int j = 0; j < 6; ++j) {
      for (const double sign : {1.0, -1.0}) {
        Vec6 d{};
        d[j] = sign * 1e-8;
        if (sig0[0] == sig0[1]) d = {sign * 1e-8, sign * 1e-8, sign * 1e-8, 0, 0, 0};
        const Vec6 s = StressAfter(sig0, d);
        const Vec6 e = MatVec(ec.D, d);
        Vec6 ds{};
        for (int i = 0; i < 6; ++i) ds[i] = s[i] - sig0[i];
        const Principal before = PrincipalStresses(sig0), after = PrincipalStresses(s);
        const double ratio0 = (before.s[2] - before.s[0]) / -(before.s[2] + before.s[0]);
        const double ratio1 = (after.s[2] - after.s[0]) / -(after.s[2] + after.s[0]);
        if (ratio1 > ratio0 + 1e-12) continue;  // loading: plastic
        ++compared;
        const double scale = 2.0 * ec.G * 1e-8;
        const double dm = MeanStress(ds), em = MeanStress(e);
        for (int i = 0; i < 6; ++i) {
          const double dev = ds[i] - (i < 3 ? dm : 0.0), edev = e[i] - (i < 3 ? em : 0.0);
          EXPECT_NEAR(dev, edev, 1e-6 * scale) << "direction " << j << " component " << i;
        }
        if (sig0[0] == sig0[1]) {
          EXPECT_NEAR(dm, em, 1e-6 * std::fabs(em));
        } else {
          EXPECT_GE(dm, em - 1e-6 * scale);  // compaction relieves the mean stress
        }
      }
    }
    EXPECT_GE(compared, 2);
  }
}

}  // namespace
}  // namespace soilcal::models::ubc3d
