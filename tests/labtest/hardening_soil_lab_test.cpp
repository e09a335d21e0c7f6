// Hardening Soil models run through the lab-test driver with the
// cap-parameter library, against closed-form soil mechanics.
#include <gtest/gtest.h>

#include <cmath>

#include "labtest/lab_records.hpp"
#include "models/hardening_soil/hs_formulas.hpp"
#include "services/library.hpp"
#include "test_support.hpp"

namespace soilcal::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct CapLibrary {
  services::SharedLibrary lib;
  models::ModelResources res;
  CapLibrary() {
    if (lib.LoadPath(BuildPath("libzarirude.so"))) {
      res.capItr = reinterpret_cast<models::HsCapItrFn>(lib.Symbol("HS_CapItr"));
    }
  }
};

struct HsParams {
  double e50 = 20000.0, eur = 60000.0, eoed = 20000.0, nu = 0.2, m = 0.5, pref = 100.0;
  double phiDeg = 30.0, psiDeg = 0.0, c = 0.0, rf = 0.9, k0nc = -1.0, ocr = 1.0;
  double g0ref = 0.0, gamma07 = 0.0;
};

std::unique_ptr<input::Job> HsJob(int model, const HsParams& h) {
  SoilParams s;
  s.G = h.eur / (2.0 * (1.0 + h.nu));
  s.nu = h.nu;
  s.sinPhi = std::sin(h.phiDeg * kPi / 180.0);
  s.sinPsi = std::sin(h.psiDeg * kPi / 180.0);
  s.c = h.c;
  auto job = MakeJob(model, s);
  auto& p = job->material.params;
  p[21] = 0.0;
  p[22] = 1.0;
  p[34] = h.m;
  p[35] = h.pref;
  p[37] = h.rf;
  p[38] = h.eoed;
  p[39] = h.k0nc;
  p[40] = h.e50;
  p[49] = h.g0ref;
  p[50] = h.gamma07;
  p[103] = h.ocr;
  return job;
}

RunOutcome SimulateHs(const input::Job& job, const input::LabTest& test, const CapLibrary& cap) {
  RunOutcome out;
  out.ctx = std::make_unique<labtest::SimulationContext>();
  labtest::InitContext(*out.ctx, job, cap.res);
  labtest::PrepareLabTest(*out.ctx, test);
  out.run = labtest::RunLabTest(*out.ctx);
  return out;
}

double Deviator(const Vec6& s) { return s[0] - s[1]; }  // lateral minus axial (tension +)

// Drained triaxial compression from an isotropic state sigma3.
input::LabTest Triaxial(int model, double sigma3, double axialStrain, int steps) {
  const Phase shear{steps, {0, axialStrain, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  return MakeTest(model, {-sigma3, -sigma3, -sigma3, 0, 0, 0}, {shear}, 1e-9);
}

// Axial strain at which the deviator reaches q, interpolated between points.
double StrainAtDeviator(const labtest::Recording& rec, double q) {
  for (int k = 2; k <= rec.nRecorded; ++k) {
    const double q0 = Deviator(rec.Point(k - 1).stress), q1 = Deviator(rec.Point(k).stress);
    if (q0 < q && q1 >= q) {
      const double e0 = -rec.Point(k - 1).strain[1], e1 = -rec.Point(k).strain[1];
      return e0 + (q - q0) / (q1 - q0) * (e1 - e0);
    }
  }
  return -1.0;
}

TEST(HardeningSoilLab, DrainedTriaxialFailsOnMohrCoulombBelowTheAsymptote) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  HsParams h;
  h.c = 5.0;
  const double sinPhi = 0.5, cCot = 5.0 * std::sqrt(0.75) / sinPhi;
  for (double sigma3 : {50.0, 100.0, 300.0}) {
    auto job = HsJob(6, h);
    const RunOutcome out = SimulateHs(*job, Triaxial(6, sigma3, -0.15, 300), cap);
    ASSERT_EQ(out.run.status, 0) << sigma3;
    const labtest::Recording& rec = out.ctx->rec;
    const double qf = models::hs::FailureDeviator(sigma3, sinPhi, 5.0 * std::sqrt(0.75));
    double qMax = 0.0;
    for (int k = 1; k <= rec.nRecorded; ++k) qMax = std::max(qMax, Deviator(rec.Point(k).stress));
    // Failure at the Mohr-Coulomb deviator (to the step solver's tolerance),
    // never past it, so never near the asymptote q_f / Rf.
    EXPECT_NEAR(Deviator(rec.Point(rec.nRecorded).stress), qf, 1e-5 * qf);
    EXPECT_LE(qMax, qf * (1.0 + 1e-5));
    // The lateral stress stays at the cell pressure.
    EXPECT_NEAR(rec.Point(rec.nRecorded).stress[0], -sigma3, 1e-6 * sigma3);
    // Secant stiffness at half the failure deviator: the hyperbola gives
    // E50ref ((c cot(phi) + sigma3) / (c cot(phi) + pref))^m; the cap, which
    // an isotropically consolidated sample reaches at once, adds its own
    // plastic strain and makes the sample softer: 0.85 to 0.86 E50 here.
    const double e50 = 20000.0 * std::sqrt((cCot + sigma3) / (cCot + 100.0));
    const double secant = 0.5 * qf / StrainAtDeviator(rec, 0.5 * qf);
    EXPECT_LT(secant, e50 * 1.0001);
    EXPECT_GT(secant, 0.82 * e50);
  }
}

// Oedometer on the normal compression line: all strains prescribed, the
// axial one compressing.
input::LabTest Oedometer(int model, double sigmaV, double k0, double axialStrain, int steps) {
  const Phase load{steps, {0, axialStrain, 0, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}};
  return MakeTest(model, {-k0 * sigmaV, -sigmaV, -k0 * sigmaV, 0, 0, 0}, {load}, 1e-9);
}

// Tangent d sigma_v / d eps_v where sigma_v passes `sv`.
double OedometricTangent(const labtest::Recording& rec, double sv) {
  for (int k = 2; k <= rec.nRecorded; ++k) {
    const double s0 = -rec.Point(k - 1).stress[1], s1 = -rec.Point(k).stress[1];
    if (s0 < sv && s1 >= sv) {
      return (s1 - s0) / (rec.Point(k - 1).strain[1] - rec.Point(k).strain[1]);
    }
  }
  return -1.0;
}

TEST(HardeningSoilLab, OedometerOnTheNormalCompressionLineGivesEoedAndK0nc) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  for (double m : {0.5, 1.0}) {
    HsParams h;
    h.m = m;
    auto job = HsJob(6, h);
    const RunOutcome out = SimulateHs(*job, Oedometer(6, 50.0, 0.5, -0.03, 600), cap);
    ASSERT_EQ(out.run.status, 0);
    const labtest::Recording& rec = out.ctx->rec;
    // Tangent at sigma_v = pref is EOedRef (2 %: the stiffness of each step
    // is that of its start stress); on the line it grows as (sigma_v/pref)^m.
    EXPECT_NEAR(OedometricTangent(rec, 100.0), 20000.0, 0.02 * 20000.0) << m;
    EXPECT_NEAR(OedometricTangent(rec, 400.0), 20000.0 * std::pow(4.0, m),
                0.02 * 20000.0 * std::pow(4.0, m)) << m;
    const Vec6& last = rec.Point(rec.nRecorded).stress;
    ASSERT_GT(-last[1], 400.0);
    EXPECT_NEAR(last[0] / last[1], 0.5, 0.01);  // K0nc = 1 - sin 30
  }
}

TEST(HardeningSoilLab, PreconsolidationRaisesTheHardeningStateAndStiffensReloading) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  double gammaP[2], pc[2];
  for (int i = 0; i < 2; ++i) {
    HsParams h;
    h.ocr = i == 0 ? 1.0 : 2.0;
    auto job = HsJob(6, h);
    // No load step: the initialised point is what stays.
    const RunOutcome out = SimulateHs(*job, MakeTest(6, {-50, -100, -50, 0, 0, 0}, {}), cap);
    ASSERT_EQ(out.run.status, 0);
    gammaP[i] = out.ctx->point.stVar0[5];
    pc[i] = out.ctx->point.stVar0[6];
  }
  // OCR 2: the K0nc state at sigma_v = 200 (200, 100, 100) sets both.
  // pc = sqrt(p^2 + (qt/alpha)^2) with p = 133.3 and qt = 200 + 0.4*100 -
  // 1.4*100 = 100; gamma_p is the hyperbola there (sigma3 = 100, stress
  // factor 1): (2/E_i) q/(1 - q/q_a) - 2q/E_ur with E_i = 2 E50/(2 - Rf).
  const double ei = 2.0 * 20000.0 / 1.1, qa = 200.0 / 0.9;
  EXPECT_NEAR(gammaP[1], 2.0 / ei * 100.0 / (1.0 - 100.0 / qa) - 200.0 / 60000.0, 1e-9);
  EXPECT_GT(pc[1], 2.0 * pc[0] * 0.99);
  EXPECT_GT(gammaP[1], gammaP[0]);

  // Reloading the overconsolidated sample is elastic and stiff until it
  // meets its pre-consolidation, then it follows the normal line again.
  HsParams h;
  h.ocr = 2.0;
  auto job = HsJob(6, h);
  const RunOutcome out = SimulateHs(*job, Oedometer(6, 100.0, 0.5, -0.03, 600), cap);
  ASSERT_EQ(out.run.status, 0);
  // Elastic oedometric modulus E_ur (1 - nu)/((1 + nu)(1 - 2 nu)) with the
  // factor of the lateral stress, 51.25 at sigma_v = 105 (it grows by
  // nu/(1 - nu) of the vertical): 60000 * sqrt(0.5125) * 0.8/0.72 = 47730;
  // 2 %: the factor of each step is that of its start.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 105.0), 47730.0, 0.02 * 47730.0);
  // Further on the elastic path turns towards failure (its lateral ratio
  // 0.25 is below K0nc) and shear hardening sets in before sigma_pc.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 500.0), 20000.0 * std::sqrt(5.0),
              0.03 * 20000.0 * std::sqrt(5.0));
}

TEST(HardeningSoilLab, UnloadingAndReloadingAreElasticWithEur) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  auto job = HsJob(6, HsParams{});
  const Phase load{100, {0, -0.004, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase unload{50, {0, 0.0005, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase reload{50, {0, -0.0005, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const RunOutcome out =
      SimulateHs(*job, MakeTest(6, kIsotropic100, {load, unload, reload}, 1e-9), cap);
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  // sigma3 stays 100 = pref: E_ur = 60 MPa on the whole unloading branch and
  // back on reloading to the point where unloading began.
  const double q101 = Deviator(rec.Point(101).stress), q151 = Deviator(rec.Point(151).stress);
  EXPECT_NEAR((q101 - q151) / 0.0005, 60000.0, 1e-6 * 60000.0);
  EXPECT_NEAR(Deviator(rec.Point(201).stress), q101, 1e-6 * q101);
}

TEST(HardeningSoilLab, SmallStrainStiffnessDecaysAndRecoversAfterReversal) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  // Overconsolidated (OCR 2, K0nc history to 200 kPa), so that the first
  // loading is elastic: a normally consolidated sample hardens in shear
  // from the first increment, and its plastic strain hides G0.
  HsParams h;
  h.g0ref = 75000.0;
  h.gamma07 = 2e-4;
  h.ocr = 2.0;
  auto job = HsJob(19, h);
  const Phase tiny{10, {0, -5e-6, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase more{200, {0, -2e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase back{10, {0, 5e-6, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const RunOutcome out = SimulateHs(*job, MakeTest(19, kIsotropic100, {tiny, more, back}, 1e-8),
                                    cap);
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  // Young's modulus of the first step (eps = 5e-7): 2 G0 (1 + nu) at
  // sigma3 = pref, G0 = G0ref; 0.5 %: gamma = 1.5 eps makes G_s = 0.9986 G0.
  const double e0 = 2.0 * 75000.0 * 1.2;
  const double first = Deviator(rec.Point(2).stress) / 5e-7;
  EXPECT_NEAR(first, e0, 0.005 * e0);
  // Far along the curve the tangent falls below the very-small-strain one.
  const int k = 211;
  const double late = (Deviator(rec.Point(k).stress) - Deviator(rec.Point(k - 1).stress)) / 1e-5;
  EXPECT_LT(late, 0.5 * e0);
  // The first step after the reversal is as stiff as the first loading step.
  const double reversal = (Deviator(rec.Point(k).stress) - Deviator(rec.Point(k + 1).stress)) / 5e-7;
  EXPECT_NEAR(reversal, e0, 0.01 * e0);
}

TEST(HardeningSoilLab, AnOedometricStiffnessNoCapCanGiveStopsTheTestBeforeItStarts) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  HsParams h;
  h.eoed = 200000.0;
  auto job = HsJob(6, h);
  const RunOutcome out = SimulateHs(*job, Triaxial(6, 100.0, -0.01, 10), cap);
  EXPECT_EQ(out.run.status, 2);
  EXPECT_EQ(out.run.nRecorded, 0);
}

}  // namespace
}  // namespace soilcal::testing
