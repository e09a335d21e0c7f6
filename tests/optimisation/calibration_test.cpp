#include <gtest/gtest.h>

#include <sstream>
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

SwarmOptions OptionsOf(const input::Job& job, int intensity) {
  SwarmOptions o;
  o.intensity = intensity;
  o.tolerance = job.settings.tolerance;
  o.lower = job.settings.lower;
  o.upper = job.settings.upper;
  o.abortFlagPath = job.projectFolder + "AbortCalc";
  return o;
}

TEST(Calibration, ObjectiveIsZeroAtTheTruthSumsTestsAndPenalisesFailures) {
  soilcal::testing::TempDir dir;
  const input::Job job = RecoveryJob(Folder(dir));
  // The measured points are the program's own recorded points at the truth,
  // so interpolation hits nodes and both figures are exactly 0.
  const Evaluation truth = Evaluate(job, {kTrueG, kTrueSinPhi});
  EXPECT_EQ(truth.status, 0);
  EXPECT_EQ(truth.objective, 0.0);
  EXPECT_EQ(truth.error, 0.0);

  // Objective: sum over the tests; error: mean over the tests.
  const std::vector<double> x{1.3 * kTrueG, 0.45};
  input::Job first = job, second = job;
  first.tests.pop_back();
  second.tests.erase(second.tests.begin());
  const Evaluation both = Evaluate(job, x), a = Evaluate(first, x), b = Evaluate(second, x);
  EXPECT_GT(a.objective, 0.0);
  EXPECT_GT(b.objective, 0.0);
  EXPECT_NEAR(both.objective, a.objective + b.objective, 1e-15 * both.objective);  // one rounding
  EXPECT_NEAR(both.error, (a.error + b.error) / 2.0, 1e-15 * both.error);

  const Evaluation outside = Evaluate(job, {3.0 * kTrueG, 0.5});
  EXPECT_EQ(outside.objective, 1e21);
  EXPECT_EQ(outside.error, 1e21);
  EXPECT_EQ(outside.status, 1);

  // Measured strains stretched threefold: of 25 points (0.003 .. 0.147) only
  // 8 lie within the simulated 5 %, fewer than 25 / 2.
  input::Job stretched = job;
  for (double& v : stretched.tests[0].curves[0].x) v *= 3.0;
  const Evaluation overlap = Evaluate(stretched, {kTrueG, kTrueSinPhi});
  EXPECT_EQ(overlap.objective, 1e23);
  EXPECT_EQ(overlap.status, 0);

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
  const auto lines = Lines(dir.Read("Q_EPS_100.TXT_calculated"));
  ASSERT_EQ(lines.size(), 1u + 3u);
  EXPECT_EQ(lines[0], " -14 5");
  EXPECT_EQ(lines[1], " 0 0");  // at rest, the negated strain written as 0
  EXPECT_EQ(Lines(dir.Read("Q_EPS_200.TXT_calculated")).size(), 1u + 1u + kSteps);
}

TEST(Calibration, SwarmRecoversMohrCoulombStiffnessAndFriction) {
  soilcal::testing::TempDir dir;
  const input::Job job = RecoveryJob(Folder(dir));
  const Evaluation atStart = Evaluate(job, {1.3 * kTrueG, 0.7 * kTrueSinPhi});
  JobObjective objective(job, models::ModelResources{});
  ::testing::internal::CaptureStdout();
  const SwarmResult r2 = PSwarm(OptionsOf(job, 2), objective);
  const SwarmResult r1 = PSwarm(OptionsOf(job, 1), objective);
  ::testing::internal::GetCapturedStdout();

  // Intensity 2 (30 particles, 10 samples) lands within 1 % of both values.
  EXPECT_EQ(r2.exitStatus, 0);
  EXPECT_NEAR(r2.best[0], kTrueG, 0.01 * kTrueG);
  EXPECT_NEAR(r2.best[1], kTrueSinPhi, 0.01 * kTrueSinPhi);
  EXPECT_LT(r2.bestError, 1.0);  // percent
  EXPECT_EQ(Evaluate(job, r2.best).error, r2.bestError);
  // Friction governs the deviator at 5 % strain far more than stiffness.
  EXPECT_NEAR(r2.sensitivity[1], 100.0, 1e-9);
  EXPECT_LT(r2.sensitivity[0], 100.0);

  // Intensity 1 stops at its first iteration without progress: far better
  // than the start, within 10 % of the truth but not 1 %.
  EXPECT_NEAR(r1.best[0], kTrueG, 0.1 * kTrueG);
  EXPECT_NEAR(r1.best[1], kTrueSinPhi, 0.05 * kTrueSinPhi);
  EXPECT_LT(r1.bestError, atStart.error / 5.0);
}

TEST(Calibration, SameJobTwiceGivesIdenticalResultsAndCurveFiles) {
  soilcal::testing::TempDir dirA, dirB;
  auto run = [](const soilcal::testing::TempDir& dir) {
    const input::Job job = RecoveryJob(Folder(dir));
    JobObjective reference(job, models::ModelResources{});
    WriteSimulatedCurves(job, reference.context(), {}, "_referenced", true);
    JobObjective objective(job, models::ModelResources{});
    ::testing::internal::CaptureStdout();
    SwarmResult r = PSwarm(OptionsOf(job, 1), objective);
    ::testing::internal::GetCapturedStdout();
    JobObjective final(job, models::ModelResources{});
    WriteSimulatedCurves(job, final.context(), r.best, "_calculated", false);
    WriteSimulatedCurves(job, final.context(), std::vector{kTrueG, kTrueSinPhi}, "_truth", false);
    return r;
  };
  const SwarmResult a = run(dirA), b = run(dirB);
  EXPECT_EQ(a.best, b.best);
  EXPECT_EQ(a.bestError, b.bestError);
  EXPECT_EQ(a.sensitivity, b.sensitivity);
  EXPECT_EQ(a.evaluations, b.evaluations);
  for (const char* name : {"Q_EPS_100.TXT_calculated", "Q_EPS_200.TXT_referenced"}) {
    EXPECT_EQ(Lines(dirA.Read(name)).size(), 1u + 1u + kSteps) << name;
    EXPECT_EQ(dirA.Read(name), dirB.Read(name)) << name;
  }
  EXPECT_NE(dirA.Read("Q_EPS_100.TXT_calculated"), dirA.Read("Q_EPS_100.TXT_referenced"));

  // At the truth the file reproduces the measured points (recorded points
  // 2, 4, ... are lines 3, 5, ...; shortest round-trip text reads back
  // exactly).
  const input::Curve measured = RecoveryJob(Folder(dirA)).tests[1].curves[0];
  const auto lines = Lines(dirA.Read("Q_EPS_200.TXT_truth"));
  ASSERT_EQ(lines.size(), 1u + 1u + kSteps);
  for (int i = 0; i < measured.nPoints; ++i) {
    double x = 0, y = 0;
    std::istringstream(lines[static_cast<std::size_t>(2 + 2 * i)]) >> x >> y;
    EXPECT_EQ(x, measured.x[i]);
    EXPECT_EQ(y, measured.y[i]);
  }
}

}  // namespace
}  // namespace soilcal::optimisation
