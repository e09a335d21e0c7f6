// The Hoek-Brown return against admissibility: whatever the trial stress,
// the returned principal stresses lie on or inside the criterion and the
// tension cut-off and keep their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "models/hoek_brown/hb_return.hpp"

namespace soilcal::models::hoek_brown {
namespace {

// Rock mass of GSI 60, mi 10 (mb 2.3965, s 0.011744, a 0.50284), sci 50 MPa
// in kPa; G 2 GPa, nu 0.25; 10 degrees of dilatancy fading at 4 MPa.
HbParams Rock(double tensionFactor, double a = 0.50284) {
  HbParams m;
  m.sci = 50000.0;
  m.mb = 2.3965;
  m.s = 0.011744;
  m.a = a;
  m.tension = tensionFactor * m.s * m.sci / m.mb;
  m.psi = 10.0 * 3.14159265358979323846 / 180.0;
  m.sigPsi = 4000.0;
  m.G = 2.0e6;
  m.nu = 0.25;
  return m;
}

Vec3 Sorted(Vec3 c) {
  std::sort(c.begin(), c.end(), [](double x, double y) { return x > y; });
  return c;
}

// Admissibility with the tolerance of the return's own check: 1e-8 sci on
// the criterion and the cut-off, 1e-9 sci on the order (the return solves
// its surfaces to about 1e-13 sci; this leaves room for round-off of
// stresses of size sci).
::testing::AssertionResult Admissible(const Vec3& c, const HbParams& m) {
  const double tol = 1e-8 * m.sci;
  if (!(c[0] >= c[1] - 1e-9 * m.sci && c[1] >= c[2] - 1e-9 * m.sci)) {
    return ::testing::AssertionFailure() << "order lost: " << c[0] << " " << c[1] << " " << c[2];
  }
  if (!(c[2] >= -m.tension - tol)) {
    return ::testing::AssertionFailure() << "beyond the cut-off: minor " << c[2];
  }
  const double f = HbYield(c[0], c[2], m);
  if (!(f <= tol)) return ::testing::AssertionFailure() << "outside the criterion: f = " << f;
  return ::testing::AssertionSuccess();
}

TEST(HoekBrownReturn, EveryTrialStressAroundTheApexAndInTensionReturnsAdmissible) {
  // 12 000 trial states (seeded, the same each run): principal stresses
  // drawn from -20 T .. 3 T around the apex of T = s sci/mb = 245 kPa, and
  // from -40 T .. 40 T, with the full and a reduced tension cut-off and a
  // Hoek-Brown exponent of 0.5028 and 0.6.
  std::mt19937_64 rng(20250425);
  int plastic = 0;
  for (const double factor : {1.0, 0.4}) {
    for (const double a : {0.50284, 0.6}) {
      const HbParams m = Rock(factor, a);
      const double st = m.s * m.sci / m.mb;
      std::uniform_real_distribution<double> nearApex(-20.0 * st, 3.0 * st);
      std::uniform_real_distribution<double> wide(-40.0 * st, 40.0 * st);
      for (int k = 0; k < 3000; ++k) {
        auto& draw = k % 2 == 0 ? nearApex : wide;
        const Vec3 trial = Sorted({draw(rng), draw(rng), draw(rng)});
        const HbReturn r = ReturnHoekBrown(trial, m);
        SCOPED_TRACE(::testing::Message() << "trial " << trial[0] << " " << trial[1] << " "
                                          << trial[2] << " factor " << factor << " a " << a);
        ASSERT_TRUE(Admissible(r.c, m));
        ASSERT_TRUE(std::isfinite(r.c[0] + r.c[1] + r.c[2]));
        // Every return keeps the flow rule or lands on the apex.
        ASSERT_TRUE(r.converged);
        if (r.area != 0) ++plastic;
      }
    }
  }
  // Nearly every draw lies outside: the check above is not a check of
  // elastic states.
  EXPECT_GT(plastic, 10000);
}

TEST(HoekBrownReturn, AdmissibleTrialsStayAndTensileTrialsMoveOnlyTheirStretchedStresses) {
  const HbParams m = Rock(1.0);
  const double st = m.s * m.sci / m.mb;
  // Inside: unchanged, elastic.
  const Vec3 inside{3000.0, 1000.0, 500.0};
  const HbReturn e = ReturnHoekBrown(inside, m);
  EXPECT_EQ(e.area, 0);
  EXPECT_EQ(e.c, inside);
  // Far beyond the apex in all three directions: the apex itself.
  const HbReturn apex = ReturnHoekBrown({-30.0 * st, -35.0 * st, -40.0 * st}, m);
  EXPECT_TRUE(apex.apex);
  for (double c : apex.c) EXPECT_NEAR(c, -st, 1e-8 * m.sci);
  // With half the cut-off and a compressed major stress, only the minor
  // stress is stretched: it comes back 30 kPa to the cut-off, and the
  // Poisson effect of that plastic strain (lambda/(lambda + 2G) = 1/3 of the
  // change for nu = 1/4) compresses the other two by 10 kPa each.
  const HbParams half = Rock(0.5);
  const Vec3 trial{400.0, 300.0, -0.5 * st - 30.0};
  const HbReturn cut = ReturnHoekBrown(trial, half);
  EXPECT_EQ(cut.area, 2);
  EXPECT_NEAR(cut.c[2], -0.5 * st, 1e-9 * m.sci);
  EXPECT_NEAR(cut.c[0], trial[0] + 10.0, 1e-9 * m.sci);
  EXPECT_NEAR(cut.c[1], trial[1] + 10.0, 1e-9 * m.sci);
}

}  // namespace
}  // namespace soilcal::models::hoek_brown
