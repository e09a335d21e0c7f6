// soilcal-labtest on test files of the soft-soil family and of a
// user-defined model, compared with closed-form responses: modified
// Cam-Clay isotropic compression and undrained shear, soft-soil
// oedometer, the example user library against the built-in Mohr-Coulomb
// model, and the scaling of a test with its units.
//
// The user-model test needs the example library (target "udsm_usermod")
// built beside the programs; the units test also runs a Hardening Soil
// file (target "zarirude").
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;

// Modified Cam-Clay (model 5), isotropic compression from p0 = 100 on the
// normal-compression line to 400. With the indices referred to the current
// void ratio (kappa*_cur = kappa*(1 + e0)/(1 + e), likewise lambda*) and
// 1 + e = (1 + e0)(1 + eps_v), the compression c = -eps_v obeys
// dc = lambda* d(ln p) / (1 - c), that is c - c^2/2 = lambda* ln(p/p0):
// lambda* ln(p/p0) at small strain. Swelling on unloading is elastic, with
// kappa* referred to a void ratio between the initial and the current one.
TEST(AcceptanceCamClay, IsotropicCompressionFollowsLambdaStar) {
  // 20: e0 = 1; 31: M; 35: pref; 38: kappa*; 39: lambda*; 103: OCR, normally
  // consolidated.
  const auto p = ParamSlots({{2, 0.2}, {3, 0.5}, {20, 0.5}, {31, 1.2}, {35, 100.0},
                             {38, 0.02}, {39, 0.1}, {103, 1.0}});
  LabTestPhase load;
  load.loadSteps = 100;
  load.timeIncrement = 1.0;
  load.stress = {-300.0, -300.0, -300.0, 0.0, 0.0, 0.0};
  LabTestPhase unload = load;
  unload.loadSteps = 50;
  unload.stress = {200.0, 200.0, 200.0, 0.0, 0.0, 0.0};
  const LabTestOutput run = RunTightly(LabTest(5, p, 100.0, {load, unload}));
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  ASSERT_EQ(run.points.size(), 151u);

  const double lambda = 0.1;
  const double kappa = 0.02;
  for (std::size_t k = 1; k <= 100; ++k) {
    const RecordedPoint& pt = run.points[k];
    const double pm = -pt.MeanEffective();
    EXPECT_NEAR(pm, 100.0 + 3.0 * static_cast<double>(k), 1e-6 * pm) << "stress is prescribed";
    const double c = -pt.VolumetricStrain();
    // Each 3 kPa step integrates hardening and void ratio to first order:
    // 1 % covers the step-size error (the first step alone is 0.5 % off).
    const double expected = 1.0 - std::sqrt(1.0 - 2.0 * lambda * std::log(pm / 100.0));
    EXPECT_NEAR(c, expected, 0.01 * expected) << "point " << pt.point;
    // Isotropic stress stays isotropic.
    EXPECT_NEAR(pt.eps[0], pt.eps[1], 1e-12) << "point " << pt.point;
  }
  // Unloading 400 -> 200: swelling kappa* ln 2 with kappa* referred to the
  // initial void ratio (lower bound) or to the one reached at 400 (upper
  // bound), each widened by the 1 % step-size error.
  const RecordedPoint& top = run.points[100];
  const RecordedPoint& end = run.points.back();
  const double swelling = end.VolumetricStrain() - top.VolumetricStrain();
  EXPECT_GT(swelling, 0.99 * kappa * std::log(2.0));
  EXPECT_LT(swelling, 1.01 * kappa / (1.0 + top.VolumetricStrain()) * std::log(2.0));
  for (std::size_t k = 101; k < run.points.size(); ++k) {
    EXPECT_NEAR(-run.points[k].MeanEffective(), 400.0 - 4.0 * (k - 100.0), 1e-6 * 400.0);
  }
}

// Modified Cam-Clay sheared undrained (model variant 1: model 205) from the
// normally consolidated isotropic state p0 = 100. With no volume change,
// kappa* ln(p/p0) + (lambda* - kappa*) ln(pc/p0) = 0 and the critical state
// q = M p, pc = 2p give p_f = p0 2^-L, L = 1 - kappa*/lambda*, q_f = M p_f.
// The pore pressure takes the rest of the total mean-stress change.
TEST(AcceptanceCamClay, UndrainedShearEndsOnTheCriticalStateLine) {
  // 28: undrained Poisson's ratio, the pore-water stiffness; 31: M;
  // 38: kappa*; 39: lambda*.
  const auto p = ParamSlots({{2, 0.2}, {3, 0.5}, {20, 0.5}, {28, 0.495}, {31, 1.2},
                             {35, 100.0}, {38, 0.02}, {39, 0.1}, {103, 1.0}});
  auto testFile = LabTest(5, p, 100.0, {TriaxialPhase(-0.2, 200)});
  testFile.variant = 1.0;
  const LabTestOutput run = RunTightly(testFile);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  ASSERT_EQ(run.points.size(), 201u);
  for (const RecordedPoint& pt : run.points) {
    EXPECT_NEAR(pt.sig[0] + pt.pw, -100.0, 1e-6 * 100.0) << "total cell pressure held";
    const double totalMean = pt.MeanEffective() + pt.pw;
    EXPECT_NEAR(totalMean, -100.0 - pt.Deviator() / 3.0, 1e-5) << "point " << pt.point;
  }
  const double pf = 100.0 * std::pow(0.5, 1.0 - 0.02 / 0.1);  // 57.43
  const RecordedPoint& end = run.points.back();
  // The pore water (nu_u = 0.495) lets the sample compress by about 2e-4,
  // which hardens it slightly: 0.5 %.
  EXPECT_NEAR(-end.MeanEffective(), pf, 0.005 * pf);
  EXPECT_NEAR(end.Deviator(), 1.2 * -end.MeanEffective(), 1e-3 * pf) << "on the critical state line";
  EXPECT_NEAR(std::abs(end.VolumetricStrain()), 0.0, 5e-4);
}

// Soft-soil model (model 4), oedometer from a state on the K0nc line: the
// lateral stress ratio stays K0nc, and the vertical stress grows as
// sigma_v0 exp(eps_a / lambda*) (eps_v = lambda* ln(p/p0) at a constant
// stress ratio).
TEST(AcceptanceSoftSoil, OedometerKeepsK0ncAndLambdaStar) {
  // 31: M, must be given, then derived from K0nc; 37: K0nc; 38: kappa*;
  // 39: lambda*.
  const auto p = ParamSlots({{2, 0.2}, {3, 0.5}, {20, 0.5}, {35, 100.0}, {31, 1.0}, {37, 0.6},
                             {38, 0.02}, {39, 0.1}, {103, 1.0}});
  auto testFile = LabTest(4, p, 0.0, {OedometerPhase(-0.1, 100)});
  testFile.initialStress = {-60.0, -100.0, -60.0, 0.0, 0.0, 0.0};
  const LabTestOutput run = RunTightly(testFile);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  ASSERT_EQ(run.points.size(), 101u);
  for (std::size_t k = 1; k < run.points.size(); ++k) {
    const RecordedPoint& pt = run.points[k];
    // The cap return keeps the ratio to its iteration tolerance: 1e-3.
    EXPECT_NEAR(pt.sig[0] / pt.sig[1], 0.6, 1e-3 * 0.6) << "point " << pt.point;
    // 0.1 % strain steps against lambda* = 0.1: step-size error below 0.5 %.
    const double sv = 100.0 * std::exp(pt.AxialStrain() / 0.1);
    EXPECT_NEAR(-pt.sig[1], sv, 0.005 * sv) << "point " << pt.point;
  }
}

// The example user library's model 1 (model number 21) is the Mohr-Coulomb
// model with E, nu, c, phi and psi in degrees, tension in slots 31..36: the
// same soil as model 2 must give the same test, point for point.
TEST(AcceptanceUserModel, ExampleMohrCoulombLibraryEqualsModel2) {
  ASSERT_TRUE(fs::exists(testing::BuildPath("libusermod64.so"))) << "build the target udsm_usermod";
  MohrCoulombSoil soil;
  soil.sinPsi = std::sin(10.0 * std::acos(-1.0) / 180.0);
  const std::vector<LabTestPhase> phases = {TriaxialPhase(-0.05, 100),
                                                     TriaxialPhase(0.002, 10)};
  const LabTestOutput mc = RunTightly(LabTest(2, MohrCoulombParams(soil), 100.0, phases));

  const auto user = ParamSlots(
      {{2, soil.nu}, {20, 0.5}, {31, YoungsModulus(soil.G, soil.nu)}, {32, soil.nu}, {33, soil.c},
       {34, 30.0}, {35, 10.0}, {36, 0.0}});  // 34: phi, sin = 0.5; 35: psi; 36: tensile strength
  auto testFile = LabTest(21, user, 100.0, phases);
  testFile.materialName = "usermod.dll";
  const LabTestOutput udsm = RunTightly(testFile);
  ASSERT_EQ(mc.exitStatus, 0) << mc.err;
  ASSERT_EQ(udsm.exitStatus, 0) << udsm.err;
  ASSERT_EQ(udsm.points.size(), mc.points.size());
  for (std::size_t k = 0; k < mc.points.size(); ++k) {
    const RecordedPoint& a = mc.points[k];
    const RecordedPoint& b = udsm.points[k];
    // Two closed-form returns of the same cone: round-off of the two
    // principal-stress decompositions only.
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_NEAR(b.sig[i], a.sig[i], 1e-9 * 300.0) << "point " << a.point << " component " << i;
      EXPECT_NEAR(b.eps[i], a.eps[i], 1e-12) << "point " << a.point << " component " << i;
    }
  }
}

// The same tests written in N and mm (stresses in N/mm2, a thousandth of
// kN/m2): every strain is the same and every stress a thousandth. The
// modified Cam-Clay file leaves slot 35 at 0, so its reference pressure
// (and the stress floor derived from it) comes from the units: 100 kN/m2 =
// 0.1 N/mm2. The Hardening Soil file gives pref itself.
TEST(AcceptanceUnits, NewtonsAndMillimetresScaleStressesOnly) {
  const auto mcc =
      ParamSlots({{2, 0.2}, {3, 0.5}, {20, 0.5}, {31, 1.2}, {38, 0.02}, {39, 0.1}, {103, 1.0}});
  LabTestPhase compress;
  compress.loadSteps = 50;
  compress.timeIncrement = 1.0;
  compress.stress = {-300.0, -300.0, -300.0, 0.0, 0.0, 0.0};
  const auto mccTest = LabTest(5, mcc, 100.0, {compress, TriaxialPhase(-0.02, 50)});
  const auto hsTest = LabTest(6, HardeningSoilParams(0.5, 1.0, 0.5), 200.0, {TriaxialPhase(-0.05, 100)});
  const bool capLibrary = CapLibraryBuilt();
  for (const LabTestFileDesc& kn : {mccTest, hsTest}) {
    if (kn.baseModel == 6 && !capLibrary) {
      ADD_FAILURE() << "build the target zarirude";
      continue;
    }
    SCOPED_TRACE(kn.baseModel);
    LabTestFileDesc nmm = kn;
    nmm.forceUnit = "N";
    nmm.lengthUnit = "mm";
    for (double& v : nmm.initialStress) v /= 1000.0;
    for (LabTestPhase& ph : nmm.phases) {
      for (double& v : ph.stress) v /= 1000.0;
    }
    // Moduli, cohesion and reference pressure are stresses; the rest not.
    for (int slot : {1, 4, 35, 38, 40}) {
      if (kn.baseModel == 6 || slot == 1) nmm.params[static_cast<std::size_t>(slot)] /= 1000.0;
    }
    const LabTestOutput inKn = RunTightly(kn);
    const LabTestOutput inN = RunTightly(nmm);
    ASSERT_EQ(inKn.exitStatus, 0) << inKn.err;
    ASSERT_EQ(inN.exitStatus, 0) << inN.err;
    ASSERT_EQ(inN.points.size(), inKn.points.size());
    for (std::size_t k = 0; k < inKn.points.size(); ++k) {
      for (std::size_t i = 0; i < 6; ++i) {
        // Same arithmetic on scaled numbers: round-off, and the 1e-6
        // equilibrium tolerance on a relative scale in both.
        EXPECT_NEAR(inN.points[k].eps[i], inKn.points[k].eps[i], 1e-9) << "point " << k + 1;
        EXPECT_NEAR(1000.0 * inN.points[k].sig[i], inKn.points[k].sig[i],
                    1e-7 * (1.0 + std::abs(inKn.points[k].sig[i])))
            << "point " << k + 1;
      }
    }
  }
}

}  // namespace
}  // namespace soilcal::acceptance
