// Hoek-Brown rock (model 15) loaded into tension through the lab-test
// driver: uniaxial tension in a few large steps, triaxial extension into
// tension and simple shear at low confinement complete and end on the
// closed-form strengths of the criterion, its tension cut-off and its flow
// rule.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "labtest/lab_records.hpp"
#include "models/hoek_brown/hb_return.hpp"
#include "models/principal.hpp"

namespace soilcal::testing {
namespace {

// Rock mass of sci 50 MPa (kN, m), mb 2.3965, s 0.011744 (GSI 60, mi 10) and
// a = 1/2, so that the uniaxial tensile strength has its closed form;
// G 2 GPa, nu 0.25, no dilatancy at zero confinement.
constexpr double kSci = 50000.0, kMb = 2.3965, kS = 0.011744;

std::unique_ptr<input::Job> Rock(double tensionFactor) {
  auto job = MakeJob(15, {.G = 2.0e6, .nu = 0.25, .sinPhi = 0.0, .c = 0.0, .sinPsi = 0.0});
  auto& p = job->material.params;
  const std::pair<int, double> slots[] = {
      {31, kSci}, {45, kMb}, {46, kS}, {47, 0.5}, {41, tensionFactor}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  return job;
}

// Root of a decreasing function on [lo, hi] by bisection.
double Root(const std::function<double(double)>& f, double lo, double hi) {
  for (int it = 0; it < 200; ++it) {
    const double mid = 0.5 * (lo + hi);
    (f(mid) > 0.0 ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// Criterion f(major, minor), compression positive: <= 0 admissible.
double Criterion(double major, double minor) {
  return major - minor - kSci * std::sqrt(std::max(kMb * minor / kSci + kS, 0.0));
}

// Every recorded stress lies within the criterion and the cut-off T (both
// to 1e-6 sci: the solver's stress tolerance of 1e-7 relative).
void ExpectAdmissibleThroughout(const RunOutcome& out, double T) {
  for (int k = 1; k <= out.run.nRecorded; ++k) {
    const Vec3 s = models::PrincipalStresses(out.ctx->rec.Point(k).stress).s;
    SCOPED_TRACE(k);
    EXPECT_LE(Criterion(-s[0], -s[2]), 1e-6 * kSci);
    EXPECT_LE(s[2], T + 1e-6 * kSci);
  }
}

TEST(HoekBrownTension, UniaxialTensionInTenLargeStepsEndsOnTheTensileStrength) {
  // sigma_t = sci (sqrt(mb^2 + 4 s) - mb) / 2 for a = 1/2, the criterion at
  // sigma1 = 0; the full cut-off s sci / mb lies 0.2 % beyond it.
  const double strength = kSci * (std::sqrt(kMb * kMb + 4.0 * kS) - kMb) / 2.0;
  // Ten steps of 1e-4 axial stretch: E = 5 GPa makes each elastic step
  // 500 kPa, twice the strength; the sides are free (stress zero).
  const Phase pull{10, {0, 1e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const input::LabTest test = MakeTest(15, {0, 0, 0, 0, 0, 0}, {pull});
  const RunOutcome full = Simulate(*Rock(1.0), test);
  ASSERT_EQ(full.run.status, 0);
  ASSERT_EQ(full.run.nRecorded, 11);
  for (int k = 2; k <= 11; ++k) {
    // 1e-6 relative: the return solves the criterion to round-off, the
    // step solver the free sides to its tolerance.
    EXPECT_NEAR(full.ctx->rec.Point(k).stress[1], strength, 1e-6 * strength) << k;
    EXPECT_NEAR(full.ctx->rec.Point(k).stress[0], 0.0, 1e-6 * strength) << k;
  }
  // With 40 % of the cut-off the cut-off holds instead.
  const double cut = 0.4 * kS * kSci / kMb;
  const RunOutcome part = Simulate(*Rock(0.4), test);
  ASSERT_EQ(part.run.status, 0);
  ASSERT_EQ(part.run.nRecorded, 11);
  EXPECT_NEAR(part.ctx->rec.Point(11).stress[1], cut, 1e-6 * cut);
}

TEST(HoekBrownTension, TriaxialExtensionIntoTensionEndsOnTheCriterionOrTheCutOff) {
  // Cell pressure 100 kPa held, the axial stress taken into tension by an
  // axial stretch of 0.1 % in 10 steps of 500 kPa elastic each. At failure sigma1 = sigma2 = 100 and the
  // axial stress is the root of f(100, sigma3) = 0, about -240 kPa.
  const double cell = 100.0;
  const double axial = Root([&](double s3) { return Criterion(cell, s3); }, -kS * kSci / kMb, 0.0);
  ASSERT_LT(axial, -200.0);
  const Phase stretch{10, {0, 1e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const input::LabTest test = MakeTest(15, {-cell, -cell, -cell, 0, 0, 0}, {stretch});
  const RunOutcome full = Simulate(*Rock(1.0), test);
  ASSERT_EQ(full.run.status, 0);
  ExpectAdmissibleThroughout(full, kS * kSci / kMb);
  const input::RecordedPoint end = full.ctx->rec.Point(11);
  EXPECT_NEAR(-end.stress[1], axial, 1e-6 * kSci);
  EXPECT_NEAR(end.stress[0], -cell, 1e-6 * kSci);
  // A cut-off at half the tensile strength, above the criterion there.
  const double cut = 0.5 * kS * kSci / kMb;
  const RunOutcome half = Simulate(*Rock(0.5), test);
  ASSERT_EQ(half.run.status, 0);
  EXPECT_NEAR(half.ctx->rec.Point(11).stress[1], cut, 1e-6 * kSci);
}

// Steady state of simple shear (no plastic strain in x and z, the vertical
// stress sv held): the principal axes of the plastic flow
// (1 - sin psi, -(1 + sin psi)) make cos 2 theta = sin psi, so the major and
// minor stresses m +- R have sigma_yy = m - R sin psi = sv and tau = R cos psi,
// with 2 R on the criterion at the minor stress m - R.
double SteadySimpleShearStress(double sv, const models::hoek_brown::HbParams& m) {
  // sin psi = psi(m - R) with m = sv + R sin psi: psi(sv + R x - R) - x
  // falls as x grows, since the dilatancy falls as the minor stress rises.
  auto sinPsiOf = [&](double r) {
    return Root([&](double x) { return models::hoek_brown::MobilisedSinPsi(sv + r * x - r, m) - x; },
                0.0, 1.0);
  };
  const double R = Root(
      [&](double r) {
        const double x = sinPsiOf(r);
        return -Criterion(sv + r * x + r, sv + r * x - r);
      },
      0.0, 10.0 * sv + kSci);
  const double x = sinPsiOf(R);
  return R * std::sqrt(1.0 - x * x);
}

TEST(HoekBrownTension, SimpleShearAtLowConfinementEndsOnTheSteadyStrengthOrTheCutOffCorner) {
  // Vertical stress 50 kPa (K0 = 0.5 sideways), shear strain 1 % with no
  // lateral strain: the strength of the rock in shear is far above the
  // confinement, so the minor principal stress ends in tension.
  const double sv = 50.0;
  const double st = kS * kSci / kMb;
  const Phase shear50{50, {0, 0, 0, 0.01, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  const std::array<double, 6> start{-0.5 * sv, -sv, -0.5 * sv, 0, 0, 0};

  // Full cut-off: the state settles on the criterion where the dilatancy
  // has risen towards 90 degrees.
  auto job = Rock(1.0);
  const RunOutcome out = Simulate(*job, MakeTest(15, start, {shear50}));
  ASSERT_EQ(out.run.status, 0);
  ExpectAdmissibleThroughout(out, st);
  models::PropSoil prop;
  for (int i = 1; i <= 200; ++i) prop[i] = job->material.params[static_cast<std::size_t>(i)];
  prop[58] = st;
  const double tau = SteadySimpleShearStress(sv, models::hoek_brown::MakeHbParams(prop, 2.0e6));
  const input::RecordedPoint end = out.ctx->rec.Point(51);
  // 1 %: after 100 times the elastic strain of the peak the stress has
  // settled on the steady state within the last step's change.
  EXPECT_NEAR(end.stress[3], tau, 0.01 * tau);
  EXPECT_NEAR(end.stress[1], -sv, 1e-6 * kSci);

  // Half the cut-off, ten steps at the usual tolerance 0.0025: the state
  // ends in the corner of the cut-off and the criterion, where both
  // principal stresses of the shear plane are fixed: the minor at the
  // cut-off, the major on the criterion there.
  const Phase shear10{10, {0, 0, 0, 0.01, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  const RunOutcome corner = Simulate(*Rock(0.5), MakeTest(15, start, {shear10}, 0.0025));
  ASSERT_EQ(corner.run.status, 0);
  ExpectAdmissibleThroughout(corner, 0.5 * st);
  const Vec3 s = models::PrincipalStresses(corner.ctx->rec.Point(11).stress).s;
  const double major = -0.5 * st + kSci * std::sqrt(-kMb * 0.5 * st / kSci + kS);
  // 1e-6 sci on the minor (the cut-off holds exactly) and 1e-4 relative on
  // the major: the step solver holds the vertical stress to its tolerance.
  EXPECT_NEAR(s[2], 0.5 * st, 1e-6 * kSci);
  EXPECT_NEAR(-s[0], major, 1e-4 * major);
}

}  // namespace
}  // namespace soilcal::testing
