#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analytic_problems.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/swarm_state.hpp"
#include "services/errors.hpp"
#include "support/run_error.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

using testing::Box;
using testing::FunctionProblem;

// PSwarm with standard output captured into `out`.
SwarmResult Quiet(const SwarmOptions& o, Problem& p, std::string* out = nullptr) {
  return testing::Captured([&] { return PSwarm(o, p); }, out);
}

int RunErrorOf(const SwarmOptions& options, Problem& problem) {
  return soilcal::testing::RunErrorOf([&] { Quiet(options, problem); });
}

int ProgressLines(const std::string& text) {
  int n = 0;
  for (std::size_t pos = 0; (pos = text.find(" ERROR = ", pos)) != std::string::npos; ++pos) ++n;
  return n;
}

// Where the default search ends, with how many evaluations and progress
// lines, is fixed for the example jobs by reference_identity_test.cpp.

TEST(PSwarm, StopsOnAnUnchangedBestFromIterationTwoOrAtTheLimit) {
  // Flat objective: the best is 1 from iteration 1 on. Iteration 2 compares
  // with 1e30, iteration 3 sees no change and stops even at tolerance 0.
  FunctionProblem flat({0.0}, {1.0}, [](auto, long) { return Evaluation{1.0, 2.5, 0}; });
  std::string out;
  SwarmResult r = Quiet(Box({0.0}, {1.0}, 0.0), flat, &out);
  EXPECT_EQ(r.iterations, 3);
  EXPECT_EQ(r.evaluations, 10 + 3 * 50 + 1);
  EXPECT_EQ(out, " ERROR = 2.5\n");
  EXPECT_EQ(r.sensitivity, std::vector<double>{0.0});  // 0 / 1e-20, not 0 / 0

  // Every evaluation beats the previous one: only the limit stops.
  FunctionProblem falling({0.0}, {1.0}, [](auto, long call) {
    return Evaluation{1.0 / static_cast<double>(call), 1.0, 0};
  });
  SwarmOptions o = Box({0.0}, {1.0}, 0.0);
  o.maxIterations = 4;
  r = Quiet(o, falling, &out);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.iterations, 4);
  EXPECT_EQ(r.evaluations, 10 + 4 * 50 + 1);
  EXPECT_EQ(ProgressLines(out), 3);  // iterations 2, 3 and 4
}

TEST(PSwarm, RaisesTheRunErrorsOfASearchThatCannotProceed) {
  auto always = [](int status) {
    return [status](auto, long) { return Evaluation{1.0, 1.0, status}; };
  };
  // Intensities other than 1..3: error 5 before any evaluation.
  FunctionProblem ok({0.0}, {1.0}, always(0));
  EXPECT_EQ(RunErrorOf(Box({0.0}, {1.0}, 0.0, 0), ok), services::kUnknownSearchIntensity);
  EXPECT_EQ(RunErrorOf(Box({0.0}, {1.0}, 0.0, 4), ok), services::kUnknownSearchIntensity);
  EXPECT_EQ(ok.calls, 0);
  // Every run fails: redrawn until 10000 initial evaluations are used up.
  FunctionProblem failing({0.0}, {1.0}, always(2));
  EXPECT_EQ(RunErrorOf(Box({0.0}, {1.0}, 0.0), failing),
            services::kCouldNotInitializePoints);
  EXPECT_EQ(failing.calls, 10001);
  // A status outside 0..3 is an internal error at once.
  FunctionProblem odd({0.0}, {1.0}, always(7));
  EXPECT_EQ(RunErrorOf(Box({0.0}, {1.0}, 0.0), odd), services::kInternalErrorPswarm);
  EXPECT_EQ(odd.calls, 1);

  // Starting points alternate failure (status 3, redrawn) and success, so
  // 10 points take 20 evaluations; then no line search succeeds and the
  // first velocity update finds no informant: error 9 after 10 x 5 samples.
  FunctionProblem noInformant({0.0, 0.0}, {1.0, 1.0}, [](auto, long call) {
    return Evaluation{1.0, 1.0, call <= 20 && call % 2 == 0 ? 0 : 3};
  });
  EXPECT_EQ(RunErrorOf(Box({0.0, 0.0}, {1.0, 1.0}, 0.0), noInformant),
            services::kNoFeasiblePointsFound);
  EXPECT_EQ(noInformant.calls, 20 + 50);
  // Only particle 10's line search (evaluations 56..60) succeeds, but
  // informants are drawn from particles 1..9 only.
  FunctionProblem lastOnly({0.0}, {1.0}, [](auto, long call) {
    return Evaluation{1.0, 1.0, call <= 10 || (call > 55 && call <= 60) ? 0 : 3};
  });
  EXPECT_EQ(RunErrorOf(Box({0.0}, {1.0}, 0.0), lastOnly), services::kNoFeasiblePointsFound);
  EXPECT_EQ(lastOnly.calls, 60);
}

TEST(PSwarm, SensitivitiesUseTheForwardPointOrElseTheBackwardPoint) {
  // Linear errors on the unit box: a step of 1 % of the range changes them
  // by 0.5, 0 and 0.05, scaled to 100, 0 and 10 (rounding of order 1e-14).
  // The mirrored error has its minimum at the upper corner, where the
  // backward points stay in the box.
  const std::vector<double> lo{0, 0, 0}, up{1, 1, 1};
  for (bool mirrored : {false, true}) {
    FunctionProblem p(lo, up, [mirrored](std::span<const double> x, long) {
      const double a = mirrored ? 1.0 - x[0] : x[0], b = mirrored ? 1.0 - x[2] : x[2];
      return Evaluation{50.0 * a + 5.0 * b, 50.0 * a + 5.0 * b, 0};
    });
    p.rejectAllInAdmissibilityCheck = mirrored;
    const SwarmResult r = Quiet(Box(lo, up, 1e-6), p);
    ASSERT_EQ(r.sensitivity.size(), 3u);
    EXPECT_NEAR(r.sensitivity[0], 100.0, 1e-9);
    EXPECT_EQ(r.sensitivity[1], 0.0);
    EXPECT_NEAR(r.sensitivity[2], 10.0, 1e-9);
    // The forward point was asked about; the last three evaluations are the
    // forward points, or the backward ones when the forward one was refused.
    ASSERT_EQ(p.admissibilityAsked.size(), 3u);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(p.admissibilityAsked[j][j], r.best[j] + 0.01);
      const auto& xp = p.evaluated[p.evaluated.size() - 3 + j];
      for (int k = 0; k < 3; ++k) {
        const double expected = k != j ? r.best[k] : r.best[k] + (mirrored ? -0.01 : 0.01);
        EXPECT_EQ(xp[k], expected) << "parameter " << j << (mirrored ? " backward" : "");
      }
    }
  }
}

TEST(VelocityLineSearch, LaterSamplesStartFromTheMovedPoint) {
  // f = 1 + (x - 3)^2 from x = 0 along v = 1, t = -2..2: -2 (26) moves x to
  // -2; -3 (37) no; -2 (26) not strictly better; -1 (17) and 1 (5) move x.
  // Samples from the original x would have ended at 2 with 2.
  FunctionProblem f({-10.0}, {10.0}, [](std::span<const double> x, long) {
    return Evaluation{1.0 + (x[0] - 3) * (x[0] - 3), x[0], 0};
  });
  CountingProblem eval{f};
  std::vector<double> x{0.0}, v{1.0}, trial(1);
  const LineSearchResult r = VelocityLineSearch(eval, x, v, 5, trial);
  EXPECT_TRUE(r.improved);
  EXPECT_EQ(r.objective, 5.0);
  EXPECT_EQ(r.error, 1.0);
  EXPECT_EQ(x, std::vector<double>{1.0});
  EXPECT_EQ(f.evaluated, (std::vector<std::vector<double>>{{-2}, {-3}, {-2}, {-1}, {1}}));
}

}  // namespace
}  // namespace soilcal::optimisation
