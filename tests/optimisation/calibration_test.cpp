#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calibration_job.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

using namespace testing;  // the synthetic job

std::string Folder(const soilcal::testing::TempDir& dir) { return dir.path().string() + "/"; }

Evaluation Evaluate(const input::Job& job, const std::vector<double>& x) {
  JobObjective objective(job, models::ModelResources{});
  return objective.Evaluate(x);
}

TEST(Calibration, ObjectiveIsZeroAtTheTruthAndPenalisesFailures) {
  soilcal::testing::TempDir dir;
  const input::Job job = RecoveryJob(Folder(dir));
  // The measured points are the program's own recorded points at the truth,
  // so interpolation hits nodes and both figures are exactly 0.
  const Evaluation truth = Evaluate(job, {kTrueG, kTrueSinPhi});
  EXPECT_EQ(truth.status, 0);
  EXPECT_EQ(truth.objective, 0.0);
  EXPECT_EQ(truth.error, 0.0);

  // The sum over tests and the mean error are checked through the program
  // (acceptance_jobs.cpp), and so is the overlap penalty (exit code 19).
  const Evaluation outside = Evaluate(job, {3.0 * kTrueG, 0.5});
  EXPECT_EQ(outside.objective, 1e21);
  EXPECT_EQ(outside.error, 1e21);
  EXPECT_EQ(outside.status, 1);

  // Axial stress loading past the strength at cell pressure 100:
  // q_f = 2 (c cos phi + 100 sin phi) / (1 - sin phi) = 217.3, so the third
  // step of 100 cannot converge: status 3 and the run-failure penalty.
  input::Job failing = job;
  input::LabTest& t = failing.tests[0];
  t.prescribedStress = {{0, -1000, 0, 0, 0, 0}};
  t.phaseFlags = {{1, 1, 1, 1, 1, 1}};
  t.loadSteps = {10};
  t.capacity = 11;
  const Evaluation failed = Evaluate(failing, {kTrueG, kTrueSinPhi});
  EXPECT_EQ(failed.objective, 1e22);
  EXPECT_EQ(failed.error, 1e22);
  EXPECT_EQ(failed.status, 3);
  // Its curve file still holds what it recorded: the initial point and two
  // steps; the other test is written whole.
  JobObjective objective(failing, models::ModelResources{});
  WriteSimulatedCurves(failing, objective.context(), std::vector{kTrueG, kTrueSinPhi},
                       "_calculated", false);
  const auto lines = soilcal::testing::SplitLines(dir.Read("Q_EPS_100.TXT_calculated"));
  ASSERT_EQ(lines.size(), 1u + 3u);
  EXPECT_EQ(lines[0], " -14 5");
  EXPECT_EQ(lines[1], " 0 0");  // at rest, the negated strain written as 0
  EXPECT_EQ(soilcal::testing::SplitLines(dir.Read("Q_EPS_200.TXT_calculated")).size(),
            1u + 1u + kSteps);
}

}  // namespace
}  // namespace soilcal::optimisation
