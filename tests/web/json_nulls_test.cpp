// Every JSON file the program writes is read by every reader the program
// has of it when each value that may be unknown is unknown (written as
// null): the summary by the summary reader, the batch table and the
// workbench's job list; the comparison by the workbench; the job language
// by the run. None of them may stop at "type must be number, but is null"
// or drop what it could read.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "batch/batch_job.hpp"
#include "input/job_language.hpp"
#include "input/records.hpp"
#include "report/comparison.hpp"
#include "report/summary_json.hpp"
#include "support/files.hpp"
#include "web/job_index.hpp"

namespace soilcal {
namespace {

namespace fs = std::filesystem;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A run that ended in a kernel error during the search: no exit code, no
// times, no best point; every number it has is NaN or infinite.
report::Summary Unknown() {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.kernelError = "kernel error 5";
  s.tolerance = kNaN;
  s.runTimes = report::RunTimes{kNaN, kInf, {{"search", kNaN, kInf}}};
  s.criticalState = report::CriticalStateLine{kNaN, kNaN, false};
  report::ParameterSummary p;
  p.slot = 5;
  p.name = "psi";
  p.lower = kNaN;
  p.upper = kInf;
  p.start = kNaN;
  p.best = kNaN;
  p.sensitivity = kNaN;
  report::ParameterUncertaintySummary u;
  u.standardError = kInf;
  u.interval95 = std::make_pair(kNaN, kInf);
  u.profile = report::ProfileSummary{std::nullopt, kNaN};
  u.flags.push_back({"not_identifiable", "ψ cannot be determined from these curves."});
  p.uncertainty = u;
  s.parameters.push_back(p);
  s.best = report::PointSummary{kNaN, kInf};
  report::TestSummary t;
  t.file = "T.VLT";
  t.initialStress = std::array<double, 6>{kNaN, kNaN, kNaN, 0, 0, 0};
  report::CurveSummary c;
  c.file = "T_1.TXT";
  c.nPoints = 4;
  c.best = report::CurveFitSummary{kInf, 0, 4, kNaN};
  t.curves.push_back(c);
  s.tests.push_back(t);
  report::UncertaintySummary us;
  us.computed = true;
  us.step = kNaN;
  us.residualVariance = kNaN;
  us.conditionNumber = kInf;
  us.correlation = {{std::nullopt}};
  us.order = {"psi"};
  s.uncertainty = us;
  return s;
}

TEST(JsonNulls, TheSummaryWithEveryUnknownValueIsReadByEveryReader) {
  testing::TempDir dir;
  const fs::path summary = dir.path() / report::kSummaryFileName;
  ASSERT_TRUE(report::WriteSummaryJson(Unknown(), summary.string()));
  const std::string text = testing::ReadFile(summary);
  EXPECT_EQ(text.find("NaN"), std::string::npos);
  EXPECT_EQ(text.find("Infinity"), std::string::npos);

  std::string error;
  const std::optional<report::Summary> back = report::ReadSummaryJson(summary.string(), error);
  ASSERT_TRUE(back.has_value()) << error;
  EXPECT_FALSE(back->exitCode.has_value());
  EXPECT_FALSE(back->parameters.at(0).best.has_value());
  ASSERT_TRUE(back->runTimes.has_value());
  EXPECT_TRUE(std::isnan(back->runTimes->wall));
  EXPECT_TRUE(std::isnan(back->runTimes->parts.at(0).cpu));
  ASSERT_TRUE(back->criticalState.has_value());
  EXPECT_TRUE(std::isnan(back->criticalState->m));
  ASSERT_TRUE(back->tests.at(0).initialStress.has_value());
  EXPECT_TRUE(std::isnan((*back->tests.at(0).initialStress)[0]));
  EXPECT_EQ((*back->tests.at(0).initialStress)[3], 0.0);
  ASSERT_TRUE(back->uncertainty.has_value());
  EXPECT_TRUE(std::isnan(back->uncertainty->step));
  EXPECT_EQ(back->parameters.at(0).uncertainty->flags.at(0).kind, "not_identifiable");

  // The batch table: nothing known but the evaluations; no parameter column
  // without a value.
  const batch::JobFigures figures = batch::ReadJobFigures(summary.string(), -1e300);
  EXPECT_FALSE(figures.meanError.has_value());
  EXPECT_FALSE(figures.objective.has_value());
  EXPECT_EQ(figures.evaluations, 0);
  EXPECT_TRUE(figures.parameters.empty());

  // The workbench's job list: a run that failed with its message.
  testing::WriteFile(dir.path() / "OPTIM.TXT", "1\n");
  const nlohmann::json status = web::JobStatus(dir.path(), "OPTIM.TXT", false);
  EXPECT_EQ(status["state"], "failed");
  EXPECT_EQ(status["message"], "kernel error 5");
  EXPECT_EQ(status["exit_code"], -1);
  EXPECT_EQ(status["wall_time_ms"], 0);
  EXPECT_TRUE(status["mean_relative_error"].is_null());
}

TEST(JsonNulls, AComparisonOfUnknownFitsIsReadByTheWorkbench) {
  testing::TempDir dir;
  std::vector<report::ComparedModel> models(2);
  models[0].name = "hs";
  models[0].summary = Unknown();
  models[1].name = "mc";
  models[1].note = "its summary cannot be read";
  const report::Comparison comparison = report::CompareModels("job.toml", std::move(models));
  testing::WriteFile(dir.path() / "job.toml", "");
  const fs::path outputs = web::OutputsOf(dir.path() / "job.toml");
  fs::create_directories(outputs);
  testing::WriteFile(outputs / report::kComparisonJsonName, report::ComparisonJson(comparison));
  const nlohmann::json status = web::JobStatus(dir.path(), "job.toml", false);
  EXPECT_EQ(status["state"], "compared");
  EXPECT_TRUE(status["verdict"].is_string());
  EXPECT_TRUE(status["best_model"].is_string());
}

TEST(JsonNulls, AJobLanguageWithUnknownNumbersKeepsItsNames) {
  testing::TempDir dir;
  input::JobLanguage language;
  language.jobFile = "job.toml";
  language.parameters.push_back({1, "E", "kPa", "shear_from_young", kNaN, ""});
  language.curves.push_back({{"TXA_q", {"axial_strain", 1, kNaN, 1.0}, {"pwp_ratio", 2, 1.0, kInf}}});
  testing::WriteFile(dir.path() / input::kJobLanguageFile, input::JobLanguageJson(language));
  input::Job job;
  job.projectFolder = dir.path().string() + "/";
  job.settings.index = {1};
  job.tests.resize(1);
  job.tests[0].curveFiles = {"TXA_Q.TXT"};
  const std::optional<input::JobLanguage> back = input::ReadJobLanguage(job);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->parameters.at(0).name, "E");
  EXPECT_TRUE(std::isnan(back->parameters.at(0).partner));
  const input::CurveLanguage& curve = back->curves.at(0).at(0);
  EXPECT_EQ(curve.output, "TXA_q");
  EXPECT_TRUE(std::isnan(curve.x.factor));
  EXPECT_TRUE(std::isnan(curve.y.per));
  EXPECT_EQ(curve.y.factor, 1.0);
}

}  // namespace
}  // namespace soilcal
