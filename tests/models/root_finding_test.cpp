// The Illinois root finder against roots known in closed form, its
// superlinear convergence where plain regula falsi crawls, and its ends.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "models/root_finding.hpp"

namespace soilcal::testing {
namespace {

using models::FindFallingRoot;

TEST(RootFinding, FindsKnownRootsToTheTolerance) {
  struct Case {
    const char* name;
    double (*f)(double);
    double lo, hi, root;
  };
  const Case cases[] = {
      {"2 - x^2", [](double x) { return 2.0 - x * x; }, 0.0, 2.0, std::numbers::sqrt2},
      {"cos x - x", [](double x) { return std::cos(x) - x; }, 0.0, 1.0, 0.7390851332151607},
      {"e^-x - x", [](double x) { return std::exp(-x) - x; }, 0.0, 1.0, 0.5671432904097838},
      {"ln(3/x)", [](double x) { return std::log(3.0 / x); }, 0.5, 10.0, 3.0},
      // Flat near the low end, steep at the high end: plain regula falsi
      // keeps the high end for ever here.
      {"0.5 - x^10", [](double x) { return 0.5 - std::pow(x, 10); }, 0.0, 1.5,
       std::pow(0.5, 0.1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto root = FindFallingRoot(c.f, c.lo, c.f(c.lo), c.hi, c.f(c.hi), 1e-14);
    EXPECT_TRUE(root.converged);
    // |f| <= 1e-14 with |f'| of order 1 at the root: x within a few 1e-14.
    EXPECT_NEAR(root.x, c.root, 1e-13);
    EXPECT_LE(std::fabs(c.f(root.x)), 1e-14);
    // Superlinear: a few dozen evaluations at most (plain regula falsi,
    // which keeps one end, does not reach 1e-14 on the flat case in 100 000).
    EXPECT_LT(root.evaluations, 40);
  }
}

TEST(RootFinding, EndsAtTheHighEndWhenTheBracketCollapsesOrTheLimitComes) {
  // A step function has no root a secant can hit: the bracket shrinks onto
  // the jump at 1 and the high end (f <= 0) is returned, converged.
  auto step = [](double x) { return x < 1.0 ? 1.0 : -1.0; };
  const auto jump = FindFallingRoot(step, 0.0, 1.0, 3.0, -1.0, 1e-12);
  EXPECT_TRUE(jump.converged);
  EXPECT_GE(jump.x, 1.0);
  EXPECT_LE(jump.x - 1.0, 1e-14);
  EXPECT_LE(step(jump.x), 0.0);

  // Three iterations are not enough for sqrt 2 to 1e-15: not converged, the
  // answer still a point past the root inside the first bracket.
  auto f = [](double x) { return 2.0 - x * x; };
  const auto cut = FindFallingRoot(f, 0.0, 2.0, 2.0, -2.0, 1e-15, 3);
  EXPECT_FALSE(cut.converged);
  EXPECT_EQ(cut.evaluations, 3);
  EXPECT_GE(cut.x, std::numbers::sqrt2);
  EXPECT_LE(cut.x, 2.0);

  // A root at the high end itself: f(hi) = 0 is accepted as it is.
  auto g = [](double x) { return 1.0 - x; };
  const auto end = FindFallingRoot(g, 0.0, 1.0, 1.0, 0.0, 0.0);
  EXPECT_TRUE(end.converged);
  EXPECT_EQ(end.x, 1.0);
}

}  // namespace
}  // namespace soilcal::testing
