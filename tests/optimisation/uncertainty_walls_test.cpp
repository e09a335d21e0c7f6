// Walls and clipped intervals: a profile that stops where a model rule
// rejects the next value is named as that rule, not as a lack of data; a
// linearised interval that leaves the bounds is cut to them and flagged.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "optimisation/uncertainty.hpp"

namespace soilcal::optimisation {
namespace {

constexpr const char* kRule = "E50ref outside Eur/20..Eur/2";

// r_k = y_k - (a + b t_k) on a straight line 2 + 0.5 t with a little scatter;
// with a wall, every a above `wall` is rejected by the rule, as the
// admissibility rules of a model reject a vector.
class WalledLine : public Problem {
 public:
  explicit WalledLine(double wall, double scatter = 0.03) : wall_(wall) {
    for (int k = 0; k < 10; ++k) {
      t_.push_back(k);
      y_.push_back(2.0 + 0.5 * k + (k % 2 == 0 ? scatter : -scatter));
    }
  }
  ResidualEvaluation EvaluateResiduals(std::span<const double> x) override {
    ResidualEvaluation out;
    if (x[0] > wall_) {
      out.evaluation = Evaluation{1e21, 1e21, 1, kRule};
      return out;
    }
    for (std::size_t k = 0; k < t_.size(); ++k) {
      out.residuals.push_back(y_[k] - (x[0] + x[1] * t_[k]));
      out.evaluation.objective += out.residuals.back() * out.residuals.back();
    }
    return out;
  }
  Evaluation Evaluate(std::span<const double> x) override { return EvaluateResiduals(x).evaluation; }
  bool IsAdmissible(std::span<const double> x) override { return x[0] <= wall_; }
  std::unique_ptr<Problem> Clone() const override { return std::make_unique<WalledLine>(*this); }

 private:
  double wall_;
  std::vector<double> t_, y_;
};

const UncertaintyFlag* Find(const ParameterUncertainty& p, FlagKind kind) {
  for (const UncertaintyFlag& f : p.flags) {
    if (f.kind == kind) return &f;
  }
  return nullptr;
}

UncertaintyOptions Box(bool profiles) {
  UncertaintyOptions o;
  o.lower = {0.0, 0.0};
  o.upper = {4.0, 2.0};
  o.profiles = profiles;
  o.threads = 1;
  return o;
}

// The free fit puts a near 2; a rule that rejects a above 1.9 holds it
// there. The profile of a stops at 1.9 on its upper side: flagged as the
// rule's wall (with the value it lies at), never as "cannot be determined".
TEST(UncertaintyWalls, AProfileStoppedByARuleIsAWallNamingTheRule) {
  WalledLine problem(1.9);
  const std::vector<double> best{1.9, 0.515};
  const UncertaintyResult r = EstimateUncertainty(problem, best, Box(true));
  ASSERT_TRUE(r.computed) << r.whyNot;
  const ParameterUncertainty& a = r.parameters[0];
  ASSERT_TRUE(a.profile.has_value());
  EXPECT_EQ(a.profile->high.end, ProfileEnd::kFailed);
  const UncertaintyFlag* wall = Find(a, FlagKind::kWall);
  ASSERT_NE(wall, nullptr);
  EXPECT_TRUE(wall->upper);
  EXPECT_EQ(wall->text, kRule);
  EXPECT_NEAR(wall->value, 1.9, 0.01 * 4.0);
  EXPECT_TRUE(wall->atWall);
  EXPECT_EQ(Find(a, FlagKind::kNotIdentifiable), nullptr);
  // The slope meets no rule: no wall on it.
  EXPECT_EQ(Find(r.parameters[1], FlagKind::kWall), nullptr);
}

// Without a wall near, the same best value has none.
TEST(UncertaintyWalls, AWallFarFromTheBestValueIsNotAtIt) {
  WalledLine problem(3.9);
  const std::vector<double> best{2.0, 0.5};
  const UncertaintyResult r = EstimateUncertainty(problem, best, Box(true));
  ASSERT_TRUE(r.computed);
  const UncertaintyFlag* wall = Find(r.parameters[0], FlagKind::kWall);
  // The profile closes long before the wall (its interval is a few
  // hundredths wide).
  EXPECT_EQ(wall, nullptr);
  EXPECT_EQ(r.parameters[0].profile->high.end, ProfileEnd::kClosed);
}

// A scatter of 0.8 on values of 2..6 gives a standard error of the
// intercept near 0.5: its linearised interval 2 +- 1.1 would leave the box
// [1.5, 4] below. It is cut to 1.5 and flagged with the uncut end.
TEST(UncertaintyWalls, AnIntervalLeavingTheBoundsIsClippedAndFlagged) {
  WalledLine problem(100.0, 0.8);
  UncertaintyOptions o = Box(false);
  o.lower = {1.5, 0.0};
  const std::vector<double> best{2.0, 0.5};
  const UncertaintyResult r = EstimateUncertainty(problem, best, o);
  ASSERT_TRUE(r.computed);
  const ParameterUncertainty& a = r.parameters[0];
  EXPECT_EQ(a.low95, 1.5);
  EXPECT_GT(a.high95, 2.5);
  const UncertaintyFlag* clipped = Find(a, FlagKind::kClipped);
  ASSERT_NE(clipped, nullptr);
  EXPECT_TRUE(clipped->lowOpen);
  EXPECT_FALSE(clipped->highOpen);
  EXPECT_LT(clipped->value, 1.5);
  EXPECT_NEAR(clipped->value, 2.0 - (a.high95 - 2.0), 1e-9);
  // The slope's interval stays inside [0, 2]: not clipped.
  EXPECT_EQ(Find(r.parameters[1], FlagKind::kClipped), nullptr);
  EXPECT_GE(r.parameters[1].low95, 0.0);
}

// A native job's bounds may reach beyond the physical range (a stiffness
// below 0, a porosity above 1): the interval is cut to whichever limit is
// tighter on each side, one flag per side saying which. Same line and
// scatter as above; the physical range [1.7, 2.3] lies inside the bounds
// [1.5, 4] on both sides, so it cuts the interval 2 +- 1.1 on both.
TEST(UncertaintyWalls, AnIntervalIsCutToThePhysicalRangeInsideTheBoundsOnEachSide) {
  WalledLine problem(100.0, 0.8);
  UncertaintyOptions o = Box(false);
  o.lower = {1.5, 0.0};
  o.physicalLow = {1.7, -INFINITY};
  o.physicalHigh = {2.3, INFINITY};
  const std::vector<double> best{2.0, 0.5};
  const UncertaintyResult r = EstimateUncertainty(problem, best, o);
  ASSERT_TRUE(r.computed);
  const ParameterUncertainty& a = r.parameters[0];
  EXPECT_EQ(a.low95, 1.7);
  EXPECT_EQ(a.high95, 2.3);
  std::vector<const UncertaintyFlag*> cuts;
  for (const UncertaintyFlag& f : a.flags) {
    if (f.kind == FlagKind::kClipped) cuts.push_back(&f);
  }
  ASSERT_EQ(cuts.size(), 2u);
  EXPECT_FALSE(cuts[0]->upper);
  EXPECT_TRUE(cuts[0]->physical);
  EXPECT_EQ(cuts[0]->limit, 1.7);
  EXPECT_TRUE(cuts[1]->upper);
  EXPECT_TRUE(cuts[1]->physical);
  EXPECT_EQ(cuts[1]->limit, 2.3);
  // The uncut ends are symmetric about the best value.
  EXPECT_NEAR(cuts[0]->value + cuts[1]->value, 4.0, 1e-9);
  EXPECT_LT(cuts[0]->value, 1.5);
  // A physical range wider than the bounds leaves the bound to cut.
  o.physicalLow = {0.0, -INFINITY};
  o.physicalHigh = {INFINITY, INFINITY};
  const UncertaintyResult wide = EstimateUncertainty(problem, best, o);
  EXPECT_EQ(wide.parameters[0].low95, 1.5);
  const UncertaintyFlag* cut = Find(wide.parameters[0], FlagKind::kClipped);
  ASSERT_NE(cut, nullptr);
  EXPECT_FALSE(cut->physical);
  EXPECT_EQ(cut->limit, 1.5);
}

}  // namespace
}  // namespace soilcal::optimisation
