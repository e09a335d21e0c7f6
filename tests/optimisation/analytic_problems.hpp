// Cheap analytic problems for the swarm: each logs the points it evaluates.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation::testing {

// Search options of the given intensity and tolerance on [lower, upper].
inline SwarmOptions Box(std::vector<double> lower, std::vector<double> upper,
                        double tolerance = 1e-3, int intensity = 1) {
  SwarmOptions o;
  o.intensity = intensity;
  o.tolerance = tolerance;
  o.lower = std::move(lower);
  o.upper = std::move(upper);
  return o;
}

// Runs `search` with standard output and error captured, the output into
// `out` when given; the captures end also when the search throws.
template <typename Search>
SwarmResult Captured(Search&& search, std::string* out = nullptr) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  struct End {
    std::string* out;
    ~End() {
      std::string text = ::testing::internal::GetCapturedStdout();
      ::testing::internal::GetCapturedStderr();
      if (out != nullptr) *out = std::move(text);
    }
  } end{out};
  return search();
}

// Two searches that must agree to the last bit: best point, figures, counts.
inline void ExpectSameResult(const SwarmResult& a, const SwarmResult& b) {
  EXPECT_EQ(a.best, b.best);
  EXPECT_EQ(a.bestObjective, b.bestObjective);
  EXPECT_EQ(a.bestError, b.bestError);
  EXPECT_EQ(a.sensitivity, b.sensitivity);
  EXPECT_EQ(a.evaluations, b.evaluations);
  EXPECT_EQ(a.iterations, b.iterations);
}

// A problem built from a function of (x, call number); points outside the
// box are inadmissible (penalty 1e21, status 1), as the objective does it.
class FunctionProblem : public Problem {
 public:
  using Fn = std::function<Evaluation(std::span<const double> x, long call)>;
  FunctionProblem(std::vector<double> lower, std::vector<double> upper, Fn fn)
      : lower_(std::move(lower)), upper_(std::move(upper)), fn_(std::move(fn)) {}

  Evaluation Evaluate(std::span<const double> x) override {
    ++calls;
    evaluated.emplace_back(x.begin(), x.end());
    if (!InBox(x)) return {1e21, 1e21, 1};
    return fn_(x, calls);
  }
  bool IsAdmissible(std::span<const double> x) override {
    admissibilityAsked.emplace_back(x.begin(), x.end());
    return rejectAllInAdmissibilityCheck ? false : InBox(x);
  }

  long calls = 0;
  std::vector<std::vector<double>> evaluated;
  std::vector<std::vector<double>> admissibilityAsked;
  bool rejectAllInAdmissibilityCheck = false;

 private:
  bool InBox(std::span<const double> x) const {
    for (std::size_t j = 0; j < x.size(); ++j) {
      if (x[j] < lower_[j] || x[j] > upper_[j]) return false;
    }
    return true;
  }
  std::vector<double> lower_, upper_;
  Fn fn_;
};

}  // namespace soilcal::optimisation::testing
