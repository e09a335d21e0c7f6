// The shipped example jobs through the program: their reference curves
// follow the closed form of the test files' parameters, the calibration
// returns to the parameters the measured curves were made with, and a run
// whose bounds pin those parameters fits every curve.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "acceptance_support.hpp"

namespace soilcal::testing {
namespace {

using acceptance::FailureDeviator;
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

// Runs a copy of examples/`name`; that its files equal the reference run
// is checked in reference_identity_test.
std::unique_ptr<ExampleRun> RunExample(const std::string& name) {
  auto ex = std::make_unique<ExampleRun>();
  CopyExample(name, ex->job.path());
  ex->run = RunSoilcal((ex->job.path() / "OPTIM.TXT").string(), ex->job.path());
  EXPECT_EQ(ex->run.exitStatus, 0) << ex->run.err;
  const std::string text = ex->job.Read("Optimization_result.txt");
  ex->result = ParseResultFile(text);
  EXPECT_EQ(KeyValue(ex->result, "General", "Exit Code"), 0.0) << text;
  return ex;
}

// The sand example's curves against the closed form: every point of both
// curves of the same kind of job is checked in acceptance_calibration.cpp,
// and the example's own files are pinned by reference_identity_test.cpp.

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
    const double qf = FailureDeviator(std::sin(21.0 * kPi / 180.0), 1.0, cell);
    EXPECT_NEAR(q.back().second, qf, 1e-3 * qf) << file;
  }
  // The measured curves are those of E = 15000 (slot 31) and phi = 30
  // degrees (slot 34); the swarm stops a few per cent from the optimum.
  EXPECT_NEAR(ex->Param("ProLay31"), 15000.0, 0.05 * 15000.0);
  EXPECT_NEAR(ex->Param("ProLay34"), 30.0, 1.5);
  EXPECT_LT(KeyValue(ex->result, "Objective info", "Relative Error"), 5.0);
}

// The optimisation file with search intensity 1 and every bound line pinned
// on the known value of its parameter.
std::string Pinned(const std::string& optim, const std::vector<double>& known) {
  std::vector<std::string> lines = SplitLines(optim);
  const std::size_t n = known.size();
  lines.at(1) = "1";
  for (std::size_t j = 0; j < n; ++j) {
    std::ostringstream v;
    v.precision(17);
    v << known[j] << ' ' << known[j];
    lines.at(3 + n + j) = v.str();
  }
  std::string out;
  for (const std::string& line : lines) out += line + '\n';
  return out;
}

// The measured curves are those of the known parameters: the soft clay's
// stored with 17 digits (error: rounding only), the rock's with 8 (mb of
// mi = 12 at GSI 60 and D 0: 12 exp(-40/28)).
TEST(ExampleJob, BoundsPinnedOnTheKnownParametersFitEveryCurve) {
  const struct {
    const char* example;
    std::vector<double> known;  // in the order of the free parameters
    double error;
  } examples[] = {{"soft_clay", {0.1, 0.02, 1.2}, 1e-9},
                  {"hoek_brown_rock", {60000.0, 2.8758124373013096}, 1e-5}};
  for (const auto& ex : examples) {
    SCOPED_TRACE(ex.example);
    TempDir job;
    CopyExample(ex.example, job.path());
    job.Write("OPTIM.TXT", Pinned(job.Read("OPTIM.TXT"), ex.known));
    EXPECT_EQ(RunSoilcal((job.path() / "OPTIM.TXT").string(), job.path()).exitStatus, 0);
    const ResultFile result = ParseResultFile(job.Read("Optimization_result.txt"));
    EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 0.0);
    EXPECT_LT(KeyValue(result, "Objective info", "Relative Error"), ex.error);
  }
}

// The rock example's job with its material switched to a Sekiguchi-Ohta
// clay (K0nc 0.6, kappa* 0.002, lambda* 0.01): the completion accepts it,
// then the program stops at the first load step in the element stiffness
// routine, which does not take models 31 and 32, and writes no result.
TEST(ExampleJob, SekiguchiOhtaStopsInTheElementStiffness) {
  for (const char* model : {"31", "32"}) {
    TempDir job;
    CopyExample("hoek_brown_rock", job.path());
    for (const char* test : {"UCS.VLT", "TRIAX3.VLT", "TRIAX10.VLT"}) {
      std::vector<std::string> lines = SplitLines(job.Read(test));
      ASSERT_EQ(lines[10] + lines[11], "Material15") << test;
      lines[11] = model;
      lines[19 + 37] = "0.6";  // slot k is line 20 + k
      lines[19 + 38] = "0.002";
      lines[19 + 39] = "0.01";
      std::string text;
      for (const std::string& line : lines) text += line + '\n';
      job.Write(test, text);
    }
    const ProcessRun run = RunSoilcal((job.path() / "OPTIM.TXT").string(), job.path());
    ASSERT_EQ(run.exitStatus, 0) << model;
    EXPECT_NE((run.out + run.err).find("ZIrez:  Invalid model in ELEMBoth"), std::string::npos)
        << model;
    EXPECT_EQ(job.Read("Optimization_result.txt").find("[Params]"), std::string::npos) << model;
  }
}

}  // namespace
}  // namespace soilcal::testing
