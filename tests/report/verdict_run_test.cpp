// The verdict of real runs on constructed jobs: each warning appears in the
// report, in the JSON summary and on standard error, the headline says
// "calibrated, with warnings", and the exit code stays as it was. Standard
// error ends with a summary in the job's units; standard output is the
// host's.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "report/html_report.hpp"
#include "report/svg_plot.hpp"
#include "services/version.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

#include <nlohmann/json.hpp>

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct JobRun {
  ProcessRun run;
  json summary;
  std::string report;
  ResultFile result;
};

// Runs the job in `dir` with `options` before the optimisation file.
JobRun RunJob(const TempDir& dir, std::vector<std::string> options = {}) {
  JobRun r;
  options.push_back("OPTIM.TXT");
  r.run = RunProcess(BuildPath("soilcal"), options, dir.path());
  r.summary = json::parse(dir.Read("calibration_summary.json"));
  r.report = dir.Read("calibration_report.html");
  r.result = ParseResultFile(dir.Read("Optimization_result.txt"));
  return r;
}

// A sand job: the shipped test and curves with `bounds` of G and sin φ.
void SandJob(const TempDir& dir, const std::string& bounds) {
  CopyExample("sand_triaxial", dir.path());
  dir.Write("OPTIM.TXT", "2\n1\n0.001\n1\n3\n" + bounds + "\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
}

std::vector<std::string> Kinds(const json& warnings) {
  std::vector<std::string> out;
  for (const json& w : warnings) out.push_back(w["kind"]);
  return out;
}

bool HasKind(const json& warnings, const std::string& kind) {
  const auto kinds = Kinds(warnings);
  return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

// The warning of `kind` is in the JSON, its text on standard error and in
// the report, and the headline says so; the exit code is untouched.
void ExpectWarned(const JobRun& r, const std::string& kind) {
  SCOPED_TRACE(kind);
  ASSERT_TRUE(HasKind(r.summary["warnings"], kind)) << r.summary["warnings"].dump();
  for (const json& w : r.summary["warnings"]) {
    if (w["kind"] != kind) continue;
    const std::string text = w["text"];
    EXPECT_NE(r.run.err.find("soilcal: warning: " + text), std::string::npos) << r.run.err;
    EXPECT_NE(r.report.find(report::XmlEscape(text)), std::string::npos);
  }
  EXPECT_NE(r.report.find("Outcome: calibrated, with warnings (exit code 0)"), std::string::npos);
  EXPECT_EQ(r.run.exitStatus, 0);
  EXPECT_EQ(KeyValue(r.result, "General", "Exit Code"), 0.0);
}

TEST(VerdictOfARun, DegreesGivenForASineWarnEverywhere) {
  TempDir dir;
  SandJob(dir, "5000 60000\n20 45");
  const JobRun r = RunJob(dir, {"--exit-status"});
  ExpectWarned(r, "sine_bounds");
  EXPECT_NE(r.run.err.find("slot 3 (phi) holds a sine, but its bounds are 20 and 45"), std::string::npos);
  ASSERT_TRUE(HasKind(r.summary["input_warnings"], "sine_bounds"));
  EXPECT_TRUE(HasKind(r.summary["input_warnings"], "start_outside_bounds"));
  // The calibrated "sine" has no angle: shown as stored and marked.
  const double phi = KeyValue(r.result, "Params", "phi");
  ASSERT_GT(phi, 1.0);
  EXPECT_TRUE(r.summary["parameters"][1]["display"]["calibrated"].is_null());
  EXPECT_NE(r.report.find("<b>" + report::ShortNumber(phi) + "*</b>"), std::string::npos);
}

TEST(VerdictOfARun, AValueAtItsBoundWarnsInTheUnitsShown) {
  TempDir dir;
  SandJob(dir, "5000 15000\n0.4 0.72");  // the measured curves need G = 24000
  const JobRun r = RunJob(dir, {"--search=thorough"});
  ExpectWarned(r, "near_bound");
  const double g = KeyValue(r.result, "Params", "Gref");
  EXPECT_GE(g, 15000.0 - 100.0);
  EXPECT_NE(r.run.err.find("G (shear modulus) = " + report::ShortNumber(g) +
                           " kPa lies within 1 % of its range from the upper bound 15000 kPa"),
            std::string::npos)
      << r.run.err;
  // The thorough search gets no advice to run the thorough search.
  EXPECT_FALSE(HasKind(r.summary["warnings"], "short_search"));
  EXPECT_EQ(r.summary["search"]["mode"], "thorough");
  EXPECT_EQ(r.summary["search"]["budget"]["max_evaluations"], 3000);  // 1500 per free parameter
  EXPECT_LE(r.summary["search"]["evaluations"].get<long>(), 3000);
}

// Measured sand, default search: the start values fit better than where the
// swarm stops (objective 0.244 against 0.318).
TEST(VerdictOfARun, AWorseFitThanTheStartAndAShortSearchAreNamed) {
  TempDir dir;
  CopyExample("measured_sand/mohr_coulomb", dir.path());
  const JobRun r = RunJob(dir, {"--exit-status"});
  const json& s = r.summary;
  ASSERT_GT(s["best"]["objective"].get<double>(), s["start"]["objective"].get<double>());
  ExpectWarned(r, "worse_than_start");
  ExpectWarned(r, "short_search");
  EXPECT_LE(s["iterations"].get<int>(), 4);
  const std::string job = s["job_folder"].get<std::string>() + "OPTIM.TXT";
  EXPECT_NE(r.run.err.find("soilcal --search=thorough " + job), std::string::npos);
  EXPECT_TRUE(fs::exists(job));
}

TEST(Console, SummaryGivesTheBestValuesInTheJobsUnitsAndThePathOfTheReport) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const JobRun r = RunJob(dir);
  // Standard output is the host's: the header echo and the ERROR lines.
  const double error = KeyValue(r.result, "Objective info", "Relative Error");
  ASSERT_FALSE(std::isnan(error));
  const std::string last = SplitLines(r.run.out).back();
  EXPECT_EQ(SplitLines(r.run.out).front(),
            " Header line Drained triaxial compression, dense sand, cell pressure 100 kPa");
  EXPECT_EQ(std::stod(last.substr(last.find('=') + 1)), error);
  for (const std::string& line : SplitLines(r.run.out)) {
    EXPECT_TRUE(line.rfind(" Header line ", 0) == 0 || line.rfind(" ERROR = ", 0) == 0) << line;
  }

  const double g = KeyValue(r.result, "Params", "Gref");
  const double phi = std::asin(KeyValue(r.result, "Params", "phi")) * 180.0 / std::numbers::pi;
  const json& s = r.summary;
  const std::string expected[] = {
      "soilcal: Mohr-Coulomb (model 102), default search: " + std::to_string(s["iterations"].get<int>()) +
          " iterations, " + std::to_string(s["evaluations"].get<long>()) + " evaluations\n",
      "soilcal:   G = " + report::ShortNumber(g) + " kPa  (shear modulus)\n",
      "soilcal:   φ = " + report::ShortNumber(phi) + "°  (friction angle; phi = " +
          report::ShortNumber(KeyValue(r.result, "Params", "phi")) + " in the result file)\n",
      "soilcal: mean relative error: " + report::ShortNumber(s["start"]["mean_relative_error"]) +
          " % at the start values, " + report::ShortNumber(error) + " % calibrated\n",
      "soilcal: time: ",
      "soilcal: report: " + (dir.path() / "calibration_report.html").string() + "\n",
  };
  std::size_t at = 0;
  for (const std::string& line : expected) {
    const std::size_t found = r.run.err.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << "\n" << r.run.err;
    at = found;
  }
  EXPECT_EQ(at + expected[5].size(), r.run.err.size());  // the report's path comes last
  EXPECT_TRUE(fs::exists(dir.path() / "calibration_report.html"));

  EXPECT_EQ(s["program_version"], kVersion);
  EXPECT_EQ(fs::path(s["job_folder"].get<std::string>()), dir.path() / "");
  EXPECT_EQ(s["model_name"], "Mohr-Coulomb");
  EXPECT_EQ(s["units"], json({{"force", "kN"}, {"length", "m"}, {"time", "day"}, {"stress", "kPa"}}));
  EXPECT_EQ(s["search"]["mode"], "default");
  EXPECT_EQ(s["search"]["budget"]["max_iterations"], 10000);
  EXPECT_EQ(s["stop_reason"], "converged");
}

}  // namespace
}  // namespace soilcal::testing
