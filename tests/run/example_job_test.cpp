// The shipped example jobs through the program: each reproduces its reference
// run byte for byte (timing lines aside), its reference curves follow the
// closed form of the test files' parameters, and the calibration returns to
// the parameters the measured curves were made with.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct ExampleRun {
  TempDir job;
  ProcessRun run;
  ResultFile result;
  double Param(const std::string& key) const { return KeyValue(result, "Params", key); }
  std::vector<std::pair<double, double>> Curve(const std::string& file) const {
    return ReadSimulatedCurve(job.path() / file).points;
  }
};

// Runs a copy of examples/`name` (the argument named as `argument`); that
// its files equal the reference run is checked in reference_identity_test.
std::unique_ptr<ExampleRun> RunExample(const std::string& name,
                                       const std::string& argument = "OPTIM.TXT") {
  auto ex = std::make_unique<ExampleRun>();
  CopyFolder(SourcePath("examples/" + name), ex->job.path());
  ex->run = RunSoilcal((ex->job.path() / argument).string(), ex->job.path());
  EXPECT_EQ(ex->run.exitStatus, 0) << ex->run.err;
  const std::string text = ex->job.Read("Optimization_result.txt");
  ex->result = ParseResultFile(text);
  EXPECT_EQ(KeyValue(ex->result, "General", "Exit Code"), 0.0) << text;
  return ex;
}

// Drained triaxial failure deviator, compression positive:
// q_f = 2 (c cos phi + sigma3 sin phi) / (1 - sin phi).
double FailureDeviator(double c, double sinPhi, double sigma3) {
  return 2.0 * (c * std::sqrt(1.0 - sinPhi * sinPhi) + sigma3 * sinPhi) / (1.0 - sinPhi);
}

TEST(ExampleJob, SandTriaxialFollowsTheElasticPlasticClosedForm) {
  // Lower-case argument: the program finds the upper-case files.
  const auto ex = RunExample("sand_triaxial", "optim.txt");
  const double gref = ex->Param("Gref"), sinPhi = ex->Param("phi");
  EXPECT_TRUE(gref >= 5000.0 && gref <= 60000.0) << gref;
  EXPECT_TRUE(sinPhi >= 0.4 && sinPhi <= 0.72) << sinPhi;
  // The larger sensitivity is scaled to 100.
  EXPECT_DOUBLE_EQ(std::max(KeyValue(ex->result, "Relative Sensitivity", "Gref"),
                            KeyValue(ex->result, "Relative Sensitivity", "phi")),
                   100.0);
  // Reference run (Gref 15000, nu 0.25): the first step (axial strain 5e-4)
  // is elastic, q = 2 G (1 + nu) eps = 18.75.
  const auto referenced = ex->Curve("Q_EPS.TXT_referenced");
  ASSERT_EQ(referenced.size(), 101u);  // initial state + 100 load steps
  EXPECT_NEAR(referenced[1].second, 18.75, 1e-6);
  // Best run: the same slope from the best Gref, and the peak of the best
  // phi (c = 1) to 0.1 %: the lateral stress is held to the solver's tolerance.
  const auto calculated = ex->Curve("Q_EPS.TXT_calculated");
  ASSERT_EQ(calculated.size(), 101u);
  EXPECT_NEAR(calculated[1].second, 2.0 * gref * 1.25 * 0.0005, 1e-6 * gref);
  const double peak = FailureDeviator(1.0, sinPhi, 100.0);
  EXPECT_NEAR(calculated.back().second, peak, 1e-3 * peak);
}

TEST(ExampleJob, HardeningSoilRecoversE50AndPhiFromThirtyPercentOff) {
  const auto ex = RunExample("hardening_soil");
  // 3 %: the search stops at its convergence tolerance, not at the values.
  EXPECT_NEAR(ex->Param("E50ref"), 20000.0, 0.03 * 20000.0);
  const double sinPhi = std::sin(32.0 * kPi / 180.0);
  EXPECT_NEAR(ex->Param("phi"), sinPhi, 0.03 * sinPhi);
}

TEST(ExampleJob, UserModelFollowsTheClosedFormAndRecoversEAndPhi) {
  const auto ex = RunExample("udsm_job");
  // Reference run with the files' start values E = 10500, phi = 21, c = 1:
  // q = E eps_a while elastic, the failure deviator at the end (1e-3: the
  // step solver meets the cell pressure to its tolerance).
  for (const auto& [file, cell] : {std::pair{"Q_EPS_100.TXT_referenced", 100.0},
                                   std::pair{"Q_EPS_200.TXT_referenced", 200.0}}) {
    const auto q = ex->Curve(file);
    ASSERT_EQ(q.size(), 101u) << file;
    EXPECT_NEAR(q[1].second, 10500.0 * q[1].first, 1e-3 * q[1].second) << file;
    const double qf = FailureDeviator(1.0, std::sin(21.0 * kPi / 180.0), cell);
    EXPECT_NEAR(q.back().second, qf, 1e-3 * qf) << file;
  }
  // The measured curves are those of E = 15000 (slot 31) and phi = 30
  // degrees (slot 34); the swarm stops a few per cent from the optimum.
  EXPECT_NEAR(ex->Param("ProLay31"), 15000.0, 0.05 * 15000.0);
  EXPECT_NEAR(ex->Param("ProLay34"), 30.0, 1.5);
  EXPECT_LT(KeyValue(ex->result, "Objective info", "Relative Error"), 5.0);
}

TEST(ExampleJob, SoftClayReproducesItsCurvesAtTheKnownParameters) {
  const auto ex = RunExample("soft_clay");
  // Bounds pinned on the parameters the curves were made with: the stored
  // curves carry 17 digits, so the error is rounding only.
  TempDir pinned;
  CopyFolder(SourcePath("examples/soft_clay"), pinned.path());
  std::string optim = pinned.Read("OPTIM.TXT");
  const std::string bounds = "0.05 0.2\n0.005 0.04\n0.8 1.6\n";
  ASSERT_NE(optim.find(bounds), std::string::npos) << optim;
  optim.replace(optim.find(bounds), bounds.size(), "0.1 0.1\n0.02 0.02\n1.2 1.2\n");
  optim.replace(optim.find("\n3\n"), 3, "\n1\n");  // search intensity 1 is enough here
  pinned.Write("OPTIM.TXT", optim);
  EXPECT_EQ(RunSoilcal((pinned.path() / "OPTIM.TXT").string(), pinned.path()).exitStatus, 0);
  const ResultFile result = ParseResultFile(pinned.Read("Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 0.0);
  EXPECT_LT(KeyValue(result, "Objective info", "Relative Error"), 1e-9);
}

}  // namespace
}  // namespace soilcal::testing
