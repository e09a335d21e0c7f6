// The profiles' re-fits on a fast evaluation that scatters by its rounding:
// a least-squares fit linear in four parameters, whose profile interval is
// the linearised one exactly (the level F(1, m - n) above the minimum),
// evaluated fast with a deterministic scatter of a thousandth of the 95 %
// rise. The walk must close where the closed form says, and its re-fits
// must stop once the objective no longer falls by what moves an end instead
// of chasing the scatter to their evaluation limit.
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>
#include <memory>
#include <vector>

#include "optimisation/student_t.hpp"
#include "optimisation/uncertainty.hpp"

namespace soilcal::optimisation {
namespace {

constexpr int kPoints = 20;
constexpr int kParameters = 4;

// r_k = y_k - (a + b t + c t^2 + d sin t), t = 0..19.
double Basis(int i, double t) {
  switch (i) {
    case 0: return 1.0;
    case 1: return t;
    case 2: return t * t;
    default: return std::sin(t);
  }
}

class CurveFit : public Problem {
 public:
  CurveFit() {
    for (int k = 0; k < kPoints; ++k) {
      const double t = k;
      // A fixed scatter of a few hundredths about 1 + 0.3 t - 0.01 t^2 + 0.5 sin t.
      y.push_back(1.0 + 0.3 * t - 0.01 * t * t + 0.5 * std::sin(t) + 0.04 * std::sin(7.3 * t + 1.0));
    }
  }
  std::vector<double> y;
  double scatter = 0.0;  // amplitude of the fast evaluation's rounding

  ResidualEvaluation EvaluateResiduals(std::span<const double> x) override {
    ResidualEvaluation out;
    for (int k = 0; k < kPoints; ++k) {
      double model = 0.0;
      for (int i = 0; i < kParameters; ++i) model += x[i] * Basis(i, k);
      out.residuals.push_back(y[k] - model);
      out.evaluation.objective += out.residuals.back() * out.residuals.back();
    }
    if (fast_) {
      // Rounding that depends on the point alone (the same on every clone),
      // uniform in +-scatter.
      double h = 0.0;
      for (int i = 0; i < kParameters; ++i) h += x[i] * (12.9898 + 7.233 * i);
      const double u = std::sin(h) * 43758.5453;
      out.evaluation.objective += scatter * 2.0 * (u - std::floor(u) - 0.5);
      ++fastEvaluations;
    }
    return out;
  }
  Evaluation Evaluate(std::span<const double> x) override { return EvaluateResiduals(x).evaluation; }
  bool IsAdmissible(std::span<const double>) override { return true; }
  std::unique_ptr<Problem> Clone() const override { return std::make_unique<CurveFit>(*this); }
  bool SetPrecision(Precision p) override {
    fast_ = p == Precision::kFast;
    return true;
  }

  long fastEvaluations = 0;

 private:
  bool fast_ = false;
};

struct ClosedForm {
  std::vector<double> best, low, high;
  double objective = 0.0;
};

// Least squares by the normal equations; the 95 % interval
// x^ +- t(0.975; m - n) sqrt(s^2 (X^T X)^-1_jj), s^2 = S / (m - n).
ClosedForm Solve(const CurveFit& f) {
  Eigen::MatrixXd X(kPoints, kParameters);
  Eigen::VectorXd y(kPoints);
  for (int k = 0; k < kPoints; ++k) {
    for (int i = 0; i < kParameters; ++i) X(k, i) = Basis(i, k);
    y(k) = f.y[k];
  }
  const Eigen::MatrixXd inverse = (X.transpose() * X).inverse();
  const Eigen::VectorXd b = inverse * X.transpose() * y;
  ClosedForm c;
  c.objective = (y - X * b).squaredNorm();
  const double dof = kPoints - kParameters;
  const double t = StudentTQuantile(0.975, dof);
  for (int i = 0; i < kParameters; ++i) {
    const double half = t * std::sqrt(c.objective / dof * inverse(i, i));
    c.best.push_back(b(i));
    c.low.push_back(b(i) - half);
    c.high.push_back(b(i) + half);
  }
  return c;
}

TEST(ProfileRefits, CloseAtTheClosedFormIntervalOnAScatteringFastEvaluationWithoutRunningToTheirLimit) {
  CurveFit fit;
  const ClosedForm c = Solve(fit);
  const double dof = kPoints - kParameters;
  const double t = StudentTQuantile(0.975, dof);
  const double rise = c.objective * t * t / dof;
  fit.scatter = 1e-3 * rise;

  UncertaintyOptions o;
  // Bounds about ten half-widths each way, unequal: the scaling must not
  // show in the answer.
  for (int i = 0; i < kParameters; ++i) {
    const double half = c.high[i] - c.best[i];
    o.lower.push_back(c.best[i] - 8.0 * half);
    o.upper.push_back(c.best[i] + 13.0 * half);
  }
  o.profiles = true;
  o.threads = 1;
  const UncertaintyResult exact = EstimateUncertainty(fit, c.best, o);
  o.fastProfiles = true;
  const UncertaintyResult fast = EstimateUncertainty(fit, c.best, o);
  o.threads = 2;
  const UncertaintyResult fastTwo = EstimateUncertainty(fit, c.best, o);
  ASSERT_TRUE(exact.computed && fast.computed && fastTwo.computed);
  EXPECT_GT(fit.fastEvaluations, 0);  // the fast walk did walk on the fast evaluation

  for (const UncertaintyResult* r : {&exact, &fast}) {
    for (int j = 0; j < kParameters; ++j) {
      SCOPED_TRACE(testing::Message() << (r == &exact ? "exact " : "fast ") << j);
      const ProfileInterval& p = *r->parameters[j].profile;
      ASSERT_EQ(p.low.end, ProfileEnd::kClosed);
      ASSERT_EQ(p.high.end, ProfileEnd::kClosed);
      // The crossing is taken within 2 % of the root of the rise, the
      // re-fit resolves the objective to a tenth of that: the ends lie
      // within 3 % of the half-width of the closed form's.
      const double half = c.high[j] - c.best[j];
      EXPECT_NEAR(*p.low.limit, c.low[j], 0.03 * half);
      EXPECT_NEAR(*p.high.limit, c.high[j], 0.03 * half);
      // No side needed its whole budget, nor most of it.
      EXPECT_LT(p.evaluations, ProfileBudget(kParameters) / 2) << p.evaluations;
    }
  }
  // The same numbers on any number of threads.
  for (int j = 0; j < kParameters; ++j) {
    EXPECT_EQ(*fast.parameters[j].profile->low.limit, *fastTwo.parameters[j].profile->low.limit);
    EXPECT_EQ(*fast.parameters[j].profile->high.limit, *fastTwo.parameters[j].profile->high.limit);
  }
  // A re-fit of three parameters stopped on Sbplx's evaluation limit costs
  // 80 evaluations; each side's walk takes two or three re-fits.
  const long sides = 2 * kParameters;
  EXPECT_LT(fast.profileEvaluations, 60 * sides) << fast.profileEvaluations;
  EXPECT_LT(exact.profileEvaluations, 60 * sides) << exact.profileEvaluations;
}

}  // namespace
}  // namespace soilcal::optimisation
