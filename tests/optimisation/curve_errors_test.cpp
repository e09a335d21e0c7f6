// Per-curve errors must add up to what the objective reports.
#include <gtest/gtest.h>

#include "calibration_job.hpp"
#include "optimisation/curve_errors.hpp"
#include "optimisation/objective.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

TEST(CurveErrors, AddUpToTheObjectiveAndFollowTheParameters) {
  soilcal::testing::TempDir dir;
  const input::Job job = testing::RecoveryJob(dir.path().string() + "/");
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, job, models::ModelResources{});
  const std::vector<double> off = {1.3 * testing::kTrueG, 0.7 * testing::kTrueSinPhi};
  const Evaluation e = EvaluateObjective(job, ctx, off);
  ASSERT_EQ(e.status, 0);

  labtest::SimulationContext fresh;
  labtest::InitContext(fresh, job, models::ModelResources{});
  const JobErrors errors = CurveErrors(job, fresh, off, false);
  ASSERT_TRUE(errors.usable);
  EXPECT_DOUBLE_EQ(errors.meanError, e.error);
  EXPECT_DOUBLE_EQ(errors.objective, e.objective);
  ASSERT_EQ(errors.tests.size(), 2u);
  for (const TestErrors& t : errors.tests) {
    ASSERT_EQ(t.curves.size(), 1u);
    const CurveError& c = t.curves.front();
    // One curve per test: the curve's error is the test's.
    EXPECT_DOUBLE_EQ(c.error, t.error);
    EXPECT_EQ(c.nValid, c.nPoints);
    EXPECT_GT(c.error, 1.0);
    // Every recorded point is plotted: the initial state and each step.
    EXPECT_EQ(c.x.size(), static_cast<std::size_t>(1 + testing::kSteps));
  }

  // At the true values the measured curves are reproduced.
  const std::vector<double> truth = {testing::kTrueG, testing::kTrueSinPhi};
  const JobErrors exact = CurveErrors(job, fresh, truth, false);
  for (const TestErrors& t : exact.tests) EXPECT_LT(t.curves.front().error, 1e-6);
  // keepTestParameters ignores x: the job's material (30 % off) is used.
  labtest::SimulationContext reference;
  labtest::InitContext(reference, job, models::ModelResources{});
  const JobErrors kept = CurveErrors(job, reference, truth, true);
  EXPECT_DOUBLE_EQ(kept.meanError, errors.meanError);
}

}  // namespace
}  // namespace soilcal::optimisation
