// A search that stopped above the bottom of its valley, and the profiles of
// the uncertainty step that meet a better point: the point they hand on is
// the least they met, and the thorough search goes on from it to the least
// squares solution of a straight line, which is known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "analytic_problems.hpp"
#include "optimisation/thorough_search.hpp"
#include "optimisation/uncertainty.hpp"

namespace soilcal::optimisation {
namespace {

// y_k = 2 + 0.5 t_k with a scatter of +-0.1, t = 0..9; r_k = y_k - (a + b t_k).
class Line : public Problem {
 public:
  Line() {
    for (int k = 0; k < 10; ++k) {
      t_.push_back(k);
      y_.push_back(2.0 + 0.5 * k + (k % 3 == 0 ? 0.1 : -0.1));
    }
  }
  ResidualEvaluation EvaluateResiduals(std::span<const double> x) override {
    ++calls;
    ResidualEvaluation out;
    for (std::size_t k = 0; k < t_.size(); ++k) {
      out.residuals.push_back(y_[k] - (x[0] + x[1] * t_[k]));
      out.evaluation.objective += out.residuals.back() * out.residuals.back();
    }
    out.evaluation.error = 100.0 * std::sqrt(out.evaluation.objective / 10.0);
    return out;
  }
  Evaluation Evaluate(std::span<const double> x) override { return EvaluateResiduals(x).evaluation; }
  bool IsAdmissible(std::span<const double>) override { return true; }
  std::unique_ptr<Problem> Clone() const override { return std::make_unique<Line>(*this); }

  // The least-squares line: b = Sxy / Sxx, a = mean y - b mean t.
  std::vector<double> LeastSquares() const {
    double mt = 0, my = 0;
    for (std::size_t k = 0; k < t_.size(); ++k) mt += t_[k] / 10.0, my += y_[k] / 10.0;
    double sxy = 0, sxx = 0;
    for (std::size_t k = 0; k < t_.size(); ++k) {
      sxy += (t_[k] - mt) * (y_[k] - my);
      sxx += (t_[k] - mt) * (t_[k] - mt);
    }
    return {my - sxy / sxx * mt, sxy / sxx};
  }
  long calls = 0;

 private:
  std::vector<double> t_, y_;
};

TEST(SearchContinuation, ProfilesOfAPointAboveTheBottomHandOnABetterOne) {
  Line line;
  UncertaintyOptions o;
  o.lower = {0.0, 0.0};
  o.upper = {4.0, 2.0};
  o.profiles = true;
  o.threads = 1;
  // The intercept 0.3 above its least-squares value: the profile of a,
  // which re-minimises b at each a, falls below the point.
  const std::vector<double> exact = line.LeastSquares();
  const std::vector<double> off{exact[0] + 0.3, exact[1]};
  const UncertaintyResult r = EstimateUncertainty(line, off, o);
  ASSERT_TRUE(r.computed) << r.whyNot;
  const std::optional<BetterPoint> better = BetterPointOfProfiles(r);
  ASSERT_TRUE(better.has_value());
  EXPECT_TRUE(ClearlyBetter(r, better->objective));
  EXPECT_LT(better->objective, r.objective);
  // The least over every profile that met one.
  for (const ParameterUncertainty& p : r.parameters) {
    if (p.profile && ClearlyBetter(r, p.profile->bestObjective)) {
      EXPECT_LE(better->objective, p.profile->bestObjective);
    }
  }
  EXPECT_DOUBLE_EQ(line.Evaluate(better->x).objective, better->objective);

  SwarmResult found;
  found.best = off;
  found.bestObjective = r.objective;
  found.bestError = line.Evaluate(off).error;
  found.bestEvaluated = true;
  found.evaluations = 40;
  const SwarmOptions so = testing::Box(o.lower, o.upper, 1e-4);
  const long before = line.calls;
  const SwarmResult next =
      testing::Captured([&] { return ContinueThoroughSearch(so, line, found, better->x, 1); });
  EXPECT_EQ(next.exitStatus, 0);
  EXPECT_EQ(next.continuations, 1);
  EXPECT_EQ(next.evaluations, 40 + next.continuationEvaluations);
  EXPECT_LE(next.continuationEvaluations, ContinuationBudget(2));
  EXPECT_EQ(line.calls - before, next.continuationEvaluations);
  EXPECT_LE(next.bestObjective, better->objective);
  EXPECT_DOUBLE_EQ(next.bestObjective, line.Evaluate(next.best).objective);
  EXPECT_DOUBLE_EQ(next.bestError, line.Evaluate(next.best).error);
  // Within 0.5 % of each range of the least-squares line (the local search
  // stops on a relative change of the objective of 1e-6).
  EXPECT_NEAR(next.best[0], exact[0], 0.005 * 4.0);
  EXPECT_NEAR(next.best[1], exact[1], 0.005 * 2.0);
  ASSERT_EQ(next.sensitivity.size(), 2u);
  EXPECT_DOUBLE_EQ(std::max(next.sensitivity[0], next.sensitivity[1]), 100.0);
}

// At the bottom already, the profiles meet nothing clearly better.
TEST(SearchContinuation, ProfilesOfTheBottomHandOnNothing) {
  Line line;
  UncertaintyOptions o;
  o.lower = {0.0, 0.0};
  o.upper = {4.0, 2.0};
  o.profiles = true;
  o.threads = 1;
  const UncertaintyResult r = EstimateUncertainty(line, line.LeastSquares(), o);
  ASSERT_TRUE(r.computed);
  EXPECT_FALSE(BetterPointOfProfiles(r).has_value());
  EXPECT_FALSE(ClearlyBetter(r, r.objective));
}

}  // namespace
}  // namespace soilcal::optimisation
