// The calibration's report and summary on the shipped example jobs and on
// jobs that fail: the page parses as XML, holds one plot per curve with every
// measured point, and its numbers and the summary's are the result file's.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "input/readers.hpp"
#include "report/html_report.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"
#include "xml_tree.hpp"

#include <nlohmann/json.hpp>

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// Key lines " key = value" of one section of the result file, in order.
std::vector<KeyLine> Section(const std::string& result, const std::string& name) {
  const ResultFile file = ParseResultFile(result);
  const ResultSection* section = FindSection(file, name);
  return section ? section->keys : std::vector<KeyLine>{};
}

// Number of measured points a curve file announces in its segment sizes.
int MeasuredPoints(const fs::path& file) {
  std::ifstream in(file);
  int c1 = 0, c2 = 0, segments = 0, flag = 0, total = 0;
  in >> c1 >> c2 >> segments >> flag;
  for (int s = 0; s < segments; ++s) {
    int n = 0;
    in >> n;
    total += n;
  }
  return total;
}

// Curve files of the job in the order of its optimisation file.
std::vector<std::string> CurveFiles(const fs::path& optim) {
  input::Job job;
  input::ReadOptimisationInput(optim.string(), job);
  std::vector<std::string> files;
  for (const input::LabTest& test : job.tests) {
    for (const std::string& curve : test.curveFiles) {
      files.push_back(fs::path(curve).filename().string());
    }
  }
  return files;
}

std::unique_ptr<XmlNode> ParsedReport(const fs::path& folder) {
  const std::string html = ReadFile(folder / "calibration_report.html");
  std::string error;
  auto doc = ParseXml(html, error);
  EXPECT_NE(doc, nullptr) << "not well-formed: " << error;
  return doc;
}

// What each example's parameters are shown as: symbol and unit from the
// model's table (kN and m: kPa), for a user-defined model from what its
// library declares (the example library: E and φ in degrees, as given).
struct Shown {
  const char* symbol;
  const char* unit;
};
const std::map<std::string, std::vector<Shown>> kShown = {
    {"sand_triaxial", {{"G", "kPa"}, {"φ", "°"}}},
    {"soft_clay", {{"λ*", ""}, {"κ*", ""}, {"M", ""}}},
    {"hardening_soil", {{"E50ref", "kPa"}, {"φ", "°"}}},
    {"hoek_brown_rock", {{"σci", "kPa"}, {"mb", ""}}},
    {"ngi_adp", {{"s_u^A", "kPa"}, {"s_u^P", "kPa"}, {"s_u^DSS", "kPa"}}},
    {"udsm_job", {{"E", "kPa"}, {"φ", "°"}}},
};

// A parameter as the report shows it: degrees for a sine, four digits.
std::string ShownValue(const nlohmann::json& p, double stored) {
  const bool sine = !p["display"].is_null() && p["display"]["stored_as_sine"].get<bool>();
  return report::ShortNumber(sine ? std::asin(stored) * 180.0 / 3.14159265358979323846 : stored);
}

class ExampleReport : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleReport, PlotsEveryCurveAndRepeatsTheResultFile) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  TempDir job;
  CopyExample(GetParam(), job.path());
  const ProcessRun run = RunSoilcal("OPTIM.TXT", job.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  // Not a terminal: no progress line, only the closing summary.
  EXPECT_EQ(run.err.find('\033'), std::string::npos);
  EXPECT_NE(run.err.find("soilcal: report: "), std::string::npos) << run.err;
  const std::string result = job.Read("Optimization_result.txt");
  ASSERT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result;

  const auto doc = ParsedReport(job.path());
  ASSERT_NE(doc, nullptr);
  const std::vector<std::string> files = CurveFiles(job.path() / "OPTIM.TXT");
  const auto plots = doc->FindAll("svg", "plot");
  ASSERT_EQ(plots.size(), files.size());
  for (std::size_t c = 0; c < files.size(); ++c) {
    EXPECT_NE(plots[c]->text.find(files[c]), std::string::npos) << "plot " << c << " title";
    // Every axis names its unit: strains in percent, stresses in kPa.
    for (const char* axis : {"xlabel", "ylabel"}) {
      const std::string label = plots[c]->FindAll("text", axis).at(0)->text;
      EXPECT_TRUE(label.find("[%]") != std::string::npos || label.find("[kPa]") != std::string::npos)
          << label;
    }
    EXPECT_EQ(plots[c]->FindAll("circle", "measured").size(),
              static_cast<std::size_t>(MeasuredPoints(job.path() / files[c])))
        << files[c];
    EXPECT_EQ(plots[c]->FindAll("polyline", "calibrated").size(), 1u);
    EXPECT_EQ(plots[c]->FindAll("polyline", "start").size(), 1u);
  }

  // Parameter table: symbol, unit, and the result file's values with four
  // digits in the unit shown, the result file's key beside.
  const auto summary = nlohmann::json::parse(ReadFile(job.path() / "calibration_summary.json"));
  const auto params = Section(result, "Params");
  const auto tables = doc->FindAll("table", "parameters");
  ASSERT_EQ(tables.size(), 1u);
  const auto rows = tables[0]->FindAll("tr");
  ASSERT_EQ(rows.size(), params.size() + 1);
  const auto sens = Section(result, "Relative Sensitivity");
  const std::vector<Shown>& shown = kShown.at(GetParam());
  for (std::size_t j = 0; j < params.size(); ++j) {
    SCOPED_TRACE(params[j].key);
    const auto cells = rows[j + 1]->FindAll("td");
    ASSERT_EQ(cells.size(), 10u);
    const auto& p = summary["parameters"][j];
    if (shown.empty()) {
      EXPECT_TRUE(p["display"].is_null());
      EXPECT_EQ(cells[0]->text, params[j].key);
    } else {
      ASSERT_EQ(shown.size(), params.size());
      EXPECT_EQ(p["display"]["symbol"], shown[j].symbol);
      EXPECT_EQ(p["display"]["unit"], shown[j].unit);
      EXPECT_EQ(cells[1]->text, *shown[j].unit ? shown[j].unit : "–");
    }
    EXPECT_EQ(cells[4]->text, ShownValue(p, std::stod(params[j].value)));
    EXPECT_EQ(cells[7]->text, report::ShortNumber(std::stod(sens[j].value)));
    EXPECT_EQ(cells[9]->text.rfind(params[j].key + " = ", 0), 0u) << cells[9]->text;
  }
  EXPECT_NE(doc->text.find(summary["model_name"].get<std::string>() + " (model " +
                           std::to_string(summary["model_number"].get<int>()) + ")"),
            std::string::npos);
  // The headline has warnings exactly when the summary has.
  const bool warned = !summary["warnings"].empty();
  EXPECT_NE(doc->text.find(warned ? "Outcome: calibrated, with warnings (exit code 0)"
                                  : "Outcome: calibrated (exit code 0)"),
            std::string::npos);

  EXPECT_EQ(summary["exit_code"], 0);
  const auto general = Section(result, "General");
  EXPECT_EQ(summary["wall_time_ms"].get<int>(), std::stoi(general[0].value));
  EXPECT_EQ(summary["cpu_time_s"].get<double>(), std::stod(general[1].value));
  ASSERT_EQ(summary["parameters"].size(), params.size());
  for (std::size_t j = 0; j < params.size(); ++j) {
    const auto& p = summary["parameters"][j];
    EXPECT_EQ(p["name"], params[j].key);
    EXPECT_EQ(p["calibrated"].get<double>(), std::stod(params[j].value));
    EXPECT_EQ(p["relative_sensitivity"].get<double>(), std::stod(sens[j].value));
    EXPECT_LE(p["lower"].get<double>(), p["calibrated"].get<double>());
    EXPECT_GE(p["upper"].get<double>(), p["calibrated"].get<double>());
  }
  const double error = std::stod(Section(result, "Objective info")[0].value);
  EXPECT_EQ(summary["best"]["mean_relative_error"].get<double>(), error);
  // The per-curve errors at the best values average (per test, then over
  // the tests) to the reported mean relative error.
  double mean = 0.0;
  std::size_t curves = 0;
  for (const auto& test : summary["tests"]) {
    double sum = 0.0;
    for (const auto& c : test["curves"]) {
      sum += c["best"]["relative_error"].get<double>();
      // A curve the simulation covers only in part is named in a warning.
      const int inRange = c["best"]["points_in_range"].get<int>();
      EXPECT_LE(inRange, c["measured_points"].get<int>());
      if (inRange < c["measured_points"].get<int>()) {
        const std::string where = test["file"].get<std::string>() + " / " + c["file"].get<std::string>();
        EXPECT_NE(summary["warnings"].dump().find(where + ": the simulated points cover only"),
                  std::string::npos);
      }
      ++curves;
    }
    mean += sum / static_cast<double>(test["curves"].size());
  }
  EXPECT_EQ(curves, files.size());
  EXPECT_NEAR(mean / static_cast<double>(summary["tests"].size()), error, 1e-9 * error);

  // soilcal-report renders the same page from the summary and the files.
  const std::string written = ReadFile(job.path() / "calibration_report.html");
  fs::remove(job.path() / "calibration_report.html");
  const ProcessRun again =
      RunProcess(BuildPath("soilcal-report"), {job.path().string()}, job.path());
  ASSERT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_EQ(ReadFile(job.path() / "calibration_report.html"), written);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleReport,
                         ::testing::Values("sand_triaxial", "soft_clay", "hardening_soil", "udsm_job",
                                           "hoek_brown_rock", "ngi_adp"));

TEST(FailedRunReport, SaysWhatWentWrongAndWhatWasKnown) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  TempDir job;
  CopyExample("sand_triaxial", job.path());
  fs::remove(job.path() / "EV_EPS.TXT");
  const ProcessRun run = RunSoilcal("OPTIM.TXT", job.path());
  ASSERT_EQ(run.exitStatus, 0);
  ASSERT_NE(job.Read("Optimization_result.txt").find(" CURVE_FILE_NOT_FOUND = 10"), std::string::npos);

  const auto doc = ParsedReport(job.path());
  ASSERT_NE(doc, nullptr);
  EXPECT_NE(doc->text.find("CURVE_FILE_NOT_FOUND"), std::string::npos);
  // The parameters and their start values are known, calibrated ones not.
  const auto rows = doc->FindAll("table", "parameters").at(0)->FindAll("tr");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1]->FindAll("td").at(3)->text, "15000");
  EXPECT_EQ(rows[1]->FindAll("td").at(4)->text, "–");
  const auto summary = nlohmann::json::parse(ReadFile(job.path() / "calibration_summary.json"));
  EXPECT_EQ(summary["exit_code"], 10);
  EXPECT_EQ(summary["exit_name"], "CURVE_FILE_NOT_FOUND");
  EXPECT_TRUE(summary["best"].is_null());
  EXPECT_TRUE(summary["parameters"][0]["calibrated"].is_null());
  EXPECT_EQ(summary["parameters"][1]["start"].get<double>(), 0.5);
  // The curve that was read keeps its points; the missing one has none.
  EXPECT_EQ(summary["tests"][0]["curves"][0]["measured_points"], 19);
  EXPECT_EQ(summary["tests"][0]["curves"][1]["measured_points"], 0);

  // A kernel error leaves the result file empty; the summary names it, the
  // curves read are still there, and nothing was simulated to the end.
  TempDir broken;
  CopyExample("sand_triaxial", broken.path());
  std::string test = broken.Read("TRIAX1.VLT");
  test.replace(test.find("Material\n2\n"), 11, "Material\n3\n");  // no such model
  broken.Write("TRIAX1.VLT", test);
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", broken.path()).exitStatus, 0);
  EXPECT_EQ(broken.Read("Optimization_result.txt"), "");
  const auto kernel = ParsedReport(broken.path());
  ASSERT_NE(kernel, nullptr);
  EXPECT_NE(kernel->text.find("Ended by a kernel error: Invalid model"), std::string::npos);
  EXPECT_EQ(kernel->FindAll("svg", "plot").at(0)->FindAll("circle", "measured").size(), 19u);
  EXPECT_TRUE(kernel->FindAll("svg", "plot").at(0)->FindAll("polyline").empty());
  const auto failed = nlohmann::json::parse(ReadFile(broken.path() / "calibration_summary.json"));
  EXPECT_TRUE(failed["exit_code"].is_null());
  EXPECT_EQ(failed["kernel_error"], "Invalid model in ELEMBoth");
  EXPECT_TRUE(failed["tests"][0]["curves"][0]["start"].is_null());

  // No argument: the result file lies in the current folder, and so do the
  // summary and the report.
  TempDir empty;
  const ProcessRun bare = RunSoilcal(std::nullopt, empty.path());
  ASSERT_EQ(bare.exitStatus, 0);
  EXPECT_NE(empty.Read("Optimization_result.txt").find("OPTIMIZATION_FILE_NOT_INDICATED"), std::string::npos);
  EXPECT_NE(empty.Read("calibration_report.html").find("OPTIMIZATION_FILE_NOT_INDICATED"), std::string::npos);
  // Nothing was read: null, not the zeros of empty records.
  const auto none = nlohmann::json::parse(empty.Read("calibration_summary.json"));
  for (const char* key : {"model_number", "model_name", "units", "search_intensity", "tolerance"}) {
    EXPECT_TRUE(none[key].is_null()) << key;
  }
  EXPECT_TRUE(none["search"]["mode"].is_null());
  EXPECT_EQ(none["stop_reason"], "run_error");
}

}  // namespace
}  // namespace soilcal::testing

namespace soilcal::testing {
namespace {

// soilcal-report takes a TOML job as well: the page is rebuilt in JOB.out/,
// where the run wrote it, and nothing lands beside the job file.
TEST(ReportProgram, RebuildsTheReportOfATomlJobInItsOutputFolder) {
  TempDir job;
  CopyExample("sand_triaxial", job.path());
  ASSERT_EQ(RunProcess(BuildPath("soilcal"), {"job.toml"}, job.path()).exitStatus, 0);
  const fs::path out = job.path() / "job.out";
  const std::string written = ReadFile(out / "calibration_report.html");
  fs::remove(out / "calibration_report.html");
  const ProcessRun again = RunProcess(BuildPath("soilcal-report"), {"job.toml"}, job.path());
  ASSERT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_EQ(ReadFile(out / "calibration_report.html"), written);
  EXPECT_FALSE(fs::exists(job.path() / "calibration_report.html"));
  EXPECT_NE(again.out.find("job.out/calibration_report.html"), std::string::npos) << again.out;

  const ProcessRun missing = RunProcess(BuildPath("soilcal-report"), {"none.toml"}, job.path());
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("no such job folder or file: none.toml"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
