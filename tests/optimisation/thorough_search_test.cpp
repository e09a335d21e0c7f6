#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "analytic_problems.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/errors.hpp"
#include "support/run_error.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

using soilcal::testing::RunErrorOf;
using testing::Box;
using testing::FunctionProblem;

SwarmResult Thorough(const SwarmOptions& o, Problem& p, ThoroughOptions t = {}) {
  return testing::Captured([&] { return ThoroughSearch(o, p, t); });
}

// A wide bowl with its bottom (objective 1) at (0.3, 0.3) of the unit box
// and, away from it, a narrow well with its bottom (0.1) at (0.8, 0.75): the
// global minimum. Given here in the units of a shear modulus and a friction
// sine.
const std::vector<double> kLower{5000.0, 0.4}, kUpper{60000.0, 0.72};
Evaluation Misleading(std::span<const double> x) {
  const double u = (x[0] - kLower[0]) / (kUpper[0] - kLower[0]);
  const double v = (x[1] - kLower[1]) / (kUpper[1] - kLower[1]);
  const double bowl = 1.0 + 2.0 * ((u - 0.3) * (u - 0.3) + (v - 0.3) * (v - 0.3));
  const double well = 0.1 + 200.0 * ((u - 0.8) * (u - 0.8) + (v - 0.75) * (v - 0.75));
  const double f = std::min(bowl, well);
  return {f, 10.0 * f, 0};
}

// Rastrigin-like surface with many local minima; clones share a count of
// the evaluations made on other threads.
class ClonableProblem : public Problem {
 public:
  explicit ClonableProblem(std::shared_ptr<std::atomic<long>> cloneCalls, bool isClone = false)
      : cloneCalls_(std::move(cloneCalls)), isClone_(isClone) {}
  Evaluation Evaluate(std::span<const double> x) override {
    if (isClone_) ++*cloneCalls_;
    // Long enough for the other thread to take its share of a batch.
    std::this_thread::sleep_for(std::chrono::microseconds(20));
    if (!IsAdmissible(x)) return {1e21, 1e21, 1};
    double f = 10.0 * static_cast<double>(x.size());
    for (double v : x) f += v * v - 10.0 * std::cos(2.0 * std::acos(-1.0) * v);
    return {f + 1.0, 3.0 * f, 0};
  }
  bool IsAdmissible(std::span<const double> x) override {
    // An inadmissible corner inside the box, as the soil rules make them.
    return !(x[0] > 3.0 && x[1] > 3.0);
  }
  std::unique_ptr<Problem> Clone() const override {
    return std::make_unique<ClonableProblem>(cloneCalls_, true);
  }

 private:
  std::shared_ptr<std::atomic<long>> cloneCalls_;
  bool isClone_;
};

TEST(ThoroughSearch, SameResultOnOneAndTwoThreadsAndOnEveryRun) {
  const SwarmOptions o = Box({-5.12, -5.12, -5.12}, {5.12, 5.12, 5.12}, 1e-4);
  std::vector<SearchProgress> told1;
  SwarmOptions observed = o;
  observed.progress = [&](const SearchProgress& p) { told1.push_back(p); };
  auto calls = std::make_shared<std::atomic<long>>(0);
  ClonableProblem p(calls);

  const SwarmResult one = Thorough(observed, p, {0, 1});
  EXPECT_EQ(calls->load(), 0);
  const SwarmResult two = Thorough(o, p, {0, 2});
  EXPECT_GT(calls->load(), 0) << "the second thread never evaluated";
  const SwarmResult again = Thorough(o, p, {0, 2});

  testing::ExpectSameResult(two, one);
  testing::ExpectSameResult(again, one);
  // The global minimum at the origin (objective 1), within the default
  // budget of 4500 evaluations for three parameters. The nearest other
  // minima lie a unit away with objectives near 2.
  EXPECT_EQ(ThoroughBudget(3), 4500);
  EXPECT_LE(one.evaluations, 4500);
  EXPECT_NEAR(one.bestObjective, 1.0, 1e-6);
  for (double v : one.best) EXPECT_NEAR(v, 0.0, 1e-3);
  EXPECT_EQ(one.exitStatus, 0);

  // The observer hears of the starting points, the iterations and the
  // sensitivities in that order, with counts that never go back.
  ASSERT_GE(told1.size(), 3u);
  EXPECT_EQ(told1.front().phase, SearchPhase::kStartingPoints);
  EXPECT_EQ(told1.back().phase, SearchPhase::kSensitivities);
  for (std::size_t k = 1; k < told1.size(); ++k) {
    EXPECT_GE(told1[k].evaluations, told1[k - 1].evaluations);
    EXPECT_GE(told1[k].iteration, told1[k - 1].iteration);
    EXPECT_GE(static_cast<int>(told1[k].phase), static_cast<int>(told1[k - 1].phase));
  }
  EXPECT_EQ(told1.back().evaluations, one.evaluations - 3);
  EXPECT_EQ(told1.back().bestError, one.bestError);
}

TEST(ThoroughSearch, FindsTheDeepWellTheDefaultSearchMissesWithinItsBudget) {
  const SwarmOptions o = Box(kLower, kUpper);
  FunctionProblem forDefault(kLower, kUpper, [](std::span<const double> x, long) { return Misleading(x); });
  const SwarmResult byDefault = testing::Captured([&] { return PSwarm(o, forDefault); });
  // The default search stops on the well's flank, far from its bottom.
  const double g0 = kLower[0] + 0.8 * (kUpper[0] - kLower[0]);
  const double s0 = kLower[1] + 0.75 * (kUpper[1] - kLower[1]);
  EXPECT_GT(byDefault.bestObjective, 0.5);
  EXPECT_GT(std::abs(byDefault.best[0] - g0), 0.03 * (kUpper[0] - kLower[0]));

  for (long budget : {0L, 600L}) {
    FunctionProblem p(kLower, kUpper, [](std::span<const double> x, long) { return Misleading(x); });
    const SwarmResult r = Thorough(o, p, {budget, 1});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_LE(r.evaluations, budget > 0 ? budget : ThoroughBudget(2));
    EXPECT_EQ(p.calls, r.evaluations);
    EXPECT_EQ(r.bestError, Misleading(r.best).error);
    // Every point but the sensitivity probes lies inside the box.
    for (std::size_t k = 0; k + 2 < p.evaluated.size(); ++k) {
      const auto& x = p.evaluated[k];
      EXPECT_TRUE(x[0] >= kLower[0] && x[0] <= kUpper[0] && x[1] >= kLower[1] && x[1] <= kUpper[1]);
    }
    EXPECT_NEAR(r.bestObjective, 0.1, 1e-5) << budget;
    EXPECT_NEAR(r.best[0], g0, 2e-4 * (kUpper[0] - kLower[0])) << budget;
    EXPECT_NEAR(r.best[1], s0, 2e-4 * (kUpper[1] - kLower[1])) << budget;
  }
}

TEST(ThoroughSearch, ASensitivityProbeBetterThanTheBestBecomesTheBest) {
  const SwarmOptions o = Box({0.0, 0.0}, {1.0, 1.0});
  auto bowl = [](std::span<const double> x) {
    const double f = 1.0 + (x[0] - 0.4) * (x[0] - 0.4) + (x[1] - 0.6) * (x[1] - 0.6);
    return Evaluation{f, 10.0 * f, 0};
  };
  FunctionProblem first({0.0, 0.0}, {1.0, 1.0}, [&](std::span<const double> x, long) { return bowl(x); });
  const SwarmResult plain = Thorough(o, first, {0, 1});
  // The same search again, but the first probe (call E - 1 of E) dips below
  // everything else, as a search stopped short of the bottom would see it.
  const long firstProbe = plain.evaluations - 1;
  FunctionProblem dipped({0.0, 0.0}, {1.0, 1.0}, [&](std::span<const double> x, long call) {
    Evaluation e = bowl(x);
    if (call == firstProbe) e.objective = e.error = 0.5;
    return e;
  });
  const SwarmResult r = Thorough(o, dipped, {0, 1});
  EXPECT_EQ(r.best, dipped.evaluated[static_cast<std::size_t>(firstProbe - 1)]);
  EXPECT_EQ(r.bestObjective, 0.5);
  EXPECT_EQ(r.bestError, 0.5);
  // Probes again at the new best, within the budget.
  EXPECT_GT(r.evaluations, plain.evaluations + 1);
  EXPECT_LE(r.evaluations, ThoroughBudget(2));
  // The last probe moved the second parameter of the new best by 1 %.
  EXPECT_EQ(dipped.evaluated.back()[0], r.best[0]);
  EXPECT_NEAR(dipped.evaluated.back()[1], r.best[1] + 0.01, 1e-12);
}

TEST(ThoroughSearch, AnAbortFlagEndsTheSearchWithStatus18AndTheBestSoFar) {
  soilcal::testing::TempDir dir;
  const std::string flag = (dir.path() / "AbortCalc").string();
  for (long createAt : {1L, 60L, 700L}) {  // starting points, global stage, local stage
    std::filesystem::remove(flag);
    FunctionProblem p(kLower, kUpper, [&](std::span<const double> x, long call) {
      if (call == createAt) std::ofstream(flag) << "";
      if (call >= createAt) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return Misleading(x);
    });
    SwarmOptions o = Box(kLower, kUpper, 1e-12);
    o.abortFlagPath = flag;
    const SwarmResult r = Thorough(o, p, {0, 1});
    EXPECT_EQ(r.exitStatus, services::kUserAbort) << createAt;
    EXPECT_EQ(r.sensitivity, std::vector<double>(2, -1.0));
    EXPECT_GE(p.calls, createAt);
    EXPECT_LT(p.calls, createAt + 40);  // a batch and about 100 ms
    EXPECT_EQ(r.evaluations, p.calls);
    ASSERT_EQ(r.best.size(), 2u);
    // The best point so far, not a point never evaluated.
    EXPECT_EQ(r.bestObjective, Misleading(r.best).objective);
  }
}

TEST(ThoroughSearch, ErrorsOfTheProblemLeaveTheThreadsAndReachTheCaller) {
  auto calls = std::make_shared<std::atomic<long>>(0);
  class Failing : public ClonableProblem {
   public:
    using ClonableProblem::ClonableProblem;
    Evaluation Evaluate(std::span<const double> x) override {
      if (x[0] > 4.0) services::StopWithError(services::kInternalErrorPswarm);
      return ClonableProblem::Evaluate(x);
    }
    std::unique_ptr<Problem> Clone() const override { return std::make_unique<Failing>(nullptr); }
  };
  Failing p(calls);
  EXPECT_EQ(RunErrorOf([&] { Thorough(Box({-5.0, -5.0}, {5.0, 5.0}), p, {0, 2}); }),
            services::kInternalErrorPswarm);
  // No usable point at all: run error 8; an unknown intensity: run error 5.
  FunctionProblem never({0.0}, {1.0}, [](auto, long) { return Evaluation{1e22, 1e22, 2}; });
  EXPECT_EQ(RunErrorOf([&] { Thorough(Box({0.0}, {1.0}), never); }),
            services::kCouldNotInitializePoints);
  EXPECT_EQ(RunErrorOf([&] { Thorough(Box({0.0}, {1.0}, 1e-3, 4), never); }),
            services::kUnknownSearchIntensity);
}

}  // namespace
}  // namespace soilcal::optimisation
