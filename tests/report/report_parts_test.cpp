// Parts of the reports: axis ticks, warnings, the JSON summary's round trip,
// and the lab-test program's derived columns and page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "report/summary.hpp"
#include "report/summary_json.hpp"
#include "report/svg_plot.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"
#include "xml_tree.hpp"

#include <nlohmann/json.hpp>

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

TEST(PlotAxes, TicksAreNiceAndCoverTheData) {
  struct Case {
    double lo, hi;
  };
  for (const Case c : {Case{0.0, 0.05}, Case{-3.7, 112.0}, Case{-0.0123, -0.0021}, Case{9.9e4, 1.7e5},
                       Case{0.3, 0.31}}) {
    const std::vector<double> t = report::NiceTicks(c.lo, c.hi, 5);
    ASSERT_GE(t.size(), 3u) << c.lo << " " << c.hi;
    EXPECT_LE(t.size(), 12u);
    EXPECT_LE(t.front(), c.lo);
    EXPECT_GE(t.back(), c.hi);
    const double step = t[1] - t[0];
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 5) < 1e-9)
        << step;
    for (std::size_t i = 1; i < t.size(); ++i) EXPECT_NEAR(t[i] - t[i - 1], step, 1e-9 * step);
  }
  EXPECT_EQ(report::NiceTicks(0.0, 0.05, 5), (std::vector<double>{0, 0.01, 0.02, 0.03, 0.04, 0.05}));
  EXPECT_EQ(report::TickText(0.0005, 0.0005), "0.0005");
  EXPECT_EQ(report::TickText(-20.0, 20.0), "\u221220");
  EXPECT_EQ(report::TickText(150000.0, 50000.0), "150000");
  EXPECT_EQ(report::TickText(2e6, 1e6), "2e+06");
  EXPECT_EQ(report::XmlEscape("a<b & \"c\""), "a&lt;b &amp; &quot;c&quot;");
}

report::Summary SampleSummary() {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.exitCode = 0;
  s.wallMs = 1234;
  s.cpuSeconds = 0.25;
  s.modelNumber = 102;
  s.intensity = 1;
  s.tolerance = 1e-3;
  s.evaluations = 162;
  s.iterations = 3;
  s.parameters = {{1, "Gref", 5000, 60000, 15000.0, 5100.0, 100.0, {}},    // near the lower bound
                  {3, "phi", 0.4, 0.72, 0.5, 0.6361655131120307, 55.0, {}},  // fine
                  {5, "psi", 0.0, 0.5, 0.0, 0.25, 0.4, {}}};                 // insensitive
  s.start = report::PointSummary{18.0, 0.066};
  s.best = report::PointSummary{6.0784, 0.0065};
  s.programVersion = "1.1.0";
  s.jobFolder = "/jobs/sand/";
  s.modelName = "Mohr-Coulomb";
  s.units = report::JobUnits{"kN", "m", "day"};
  s.searchMode = "thorough";
  s.maxEvaluations = 3000;
  s.stopReason = "converged";
  s.parameters[1].display = report::ParameterDisplay{"φ", "friction angle", "°", true};
  s.inputWarnings = {{"sine_bounds", "slot 3 (phi) holds a sine"}};
  report::CurveSummary q{"Q_EPS.TXT", -14, 5, 4, report::CurveFitSummary{35.4, 4},
                         report::CurveFitSummary{8.0, 4}, {4}};
  report::CurveSummary ev{"EV_EPS.TXT", -14, -6, 4, report::CurveFitSummary{20.0, 4},
                          report::CurveFitSummary{4.0, 3}, {4}};
  s.tests = {{"TRIAX1.VLT", {q, ev}, "Drained triaxial compression", "Dense sand",
              input::TestType{input::TestKind::kTriaxialCompression}, {100}}};
  return s;
}

TEST(Summary, WarningsNameWhatNeedsAttention) {
  report::Summary s = SampleSummary();
  report::JobCurves curves(1);
  curves[0].resize(2);
  curves[0][0].measured = {{0, 0.01, 0.02, 0.03}, {0, 50, 80, 90}};
  curves[0][1].measured = {{0, 0.01, 0.02, 0.03}, {0, 0.002, -0.001, -0.004}};  // contraction, then dilation
  const auto warnings = report::CollectWarnings(s, curves);
  std::vector<std::string> kinds;
  for (const auto& w : warnings) kinds.push_back(w.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"near_bound", "insensitive", "sign_change", "short_coverage"}));
  EXPECT_NE(warnings[0].text.find("Gref"), std::string::npos);
  EXPECT_NE(warnings[0].text.find("lower bound"), std::string::npos);
  EXPECT_NE(warnings[1].text.find("psi"), std::string::npos);
  EXPECT_NE(warnings[3].text.find("3 of 4"), std::string::npos);

  // After an abort the sensitivities are -1 and say nothing; a value at the
  // upper bound is named as such.
  for (auto& p : s.parameters) p.sensitivity = -1.0;
  s.parameters[0].best = 60000.0;
  s.tests[0].curves[1].best->nValid = 4;
  const auto after = report::CollectWarnings(s, curves);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_NE(after[0].text.find("upper bound"), std::string::npos);
  EXPECT_EQ(after[1].kind, "sign_change");
}

TEST(Summary, JsonKeepsEveryValueAndEveryUnknown) {
  report::Summary s = SampleSummary();
  s.warnings = {{"near_bound", "Gref <near> & \"quoted\""}};
  s.parameters[2].best.reset();
  s.tests[0].curves[1].start.reset();
  s.tests[0].initialStress = std::array<double, 6>{-100, -150, -100, 0, 0, 0};
  s.tests[0].undrained = true;
  s.runTimes = report::RunTimes{14.7, 26.25, {{"search", 3.1, 6.0}, {"uncertainty", 11.6, 20.25}}};
  s.criticalState = report::CriticalStateLine{1.5, std::nullopt, false};
  TempDir dir;
  const std::string path = (dir.path() / report::kSummaryFileName).string();
  ASSERT_TRUE(report::WriteSummaryJson(s, path));
  std::string error;
  const auto back = report::ReadSummaryJson(path, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(report::SummaryToJson(*back), report::SummaryToJson(s));
  EXPECT_EQ(back->parameters[1].best, 0.6361655131120307);
  EXPECT_EQ(back->tests[0].type.kind, input::TestKind::kTriaxialCompression);
  EXPECT_EQ(back->tests[0].curves[0].segments, std::vector<int>{4});
  EXPECT_EQ(back->maxEvaluations, 3000);
  // Stored sine and the degrees shown beside it: asin(0.63617) = 39.51°.
  const auto j = nlohmann::json::parse(report::SummaryToJson(s));
  EXPECT_NEAR(j["parameters"][1]["display"]["calibrated"].get<double>(), 39.50648209548516, 1e-9);
  EXPECT_EQ(j["units"]["stress"], "kPa");
  EXPECT_FALSE(back->parameters[2].best);
  EXPECT_FALSE(back->tests[0].curves[1].start);
  EXPECT_EQ(back->tests[0].curves[1].best->nValid, 3);
  EXPECT_EQ(back->warnings[0].text, s.warnings[0].text);
  EXPECT_EQ(back->tests[0].initialStress, s.tests[0].initialStress);
  EXPECT_TRUE(back->tests[0].undrained);
  ASSERT_TRUE(back->runTimes);
  EXPECT_EQ(back->runTimes->parts[1].name, "uncertainty");
  EXPECT_EQ(back->runTimes->parts[1].cpu, 20.25);
  ASSERT_TRUE(back->criticalState);
  EXPECT_EQ(back->criticalState->m, 1.5);
  EXPECT_FALSE(back->criticalState->phiDegrees);

  // A kernel error has no exit code; a file that is not a summary is refused.
  s.exitCode.reset();
  s.kernelError = "step did not converge";
  ASSERT_TRUE(report::WriteSummaryJson(s, path));
  EXPECT_FALSE(report::ReadSummaryJson(path, error)->exitCode);
  dir.Write("bad.json", "{\"job\": 3}");
  EXPECT_FALSE(report::ReadSummaryJson((dir.path() / "bad.json").string(), error));
  EXPECT_FALSE(error.empty());
}

TEST(LabTestProgram, DerivedColumnsLineUpAndAgreeWithTheStresses) {
  const fs::path example = SourcePath("examples/sand_triaxial");
  TempDir dir;
  fs::copy_file(example / "TRIAX1.VLT", dir.path() / "TRIAX1.VLT");
  const ProcessRun plain = RunProcess(BuildPath("soilcal-labtest"), {"TRIAX1.VLT"}, dir.path());
  ASSERT_EQ(plain.exitStatus, 0);
  ASSERT_EQ(plain.out.rfind("# point phase time", 0), 0u);  // the default table is unchanged

  const std::string report = (dir.path() / "lab.html").string();
  const ProcessRun run = RunProcess(
      BuildPath("soilcal-labtest"), {"TRIAX1.VLT", "--derived", "--report", report}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::istringstream in(run.out);
  std::string header;
  std::getline(in, header);
  std::vector<std::string> names;
  std::istringstream h(header.substr(2));
  for (std::string n; h >> n;) names.push_back(n);
  ASSERT_EQ(names.size(), 21u);
  EXPECT_EQ(names[16], "p");
  int rows = 0;
  for (std::string line; std::getline(in, line); ++rows) {
    ASSERT_EQ(line.size(), header.size()) << line;
    std::istringstream l(line);
    std::vector<double> v;
    for (double x; l >> x;) v.push_back(x);
    ASSERT_EQ(v.size(), names.size());
    // Each name ends where its column ends.
    std::size_t end = 0;
    for (const std::string& n : names) {
      end = header.find(n, end) + n.size();
      EXPECT_TRUE(end == line.size() || line[end] == ' ');
    }
    EXPECT_NEAR(v[16], (v[9] + v[10] + v[11]) / 3.0, 1e-9 * std::abs(v[16]));  // p
    EXPECT_NEAR(v[18], v[3] + v[4] + v[5], 1e-12);                           // eps_v
    EXPECT_NEAR(v[17], std::abs(v[10] - v[9]), 1e-9 * (1.0 + v[17]));          // q, axisymmetric
    EXPECT_DOUBLE_EQ(v[20], v[15]);                                          // pore pressure
  }
  EXPECT_EQ(rows, 101);

  if (!XmlParserAvailable()) return;
  std::string error;
  const auto doc = ParseXml(ReadFile(report), error);
  ASSERT_NE(doc, nullptr) << error;
  const auto plots = doc->FindAll("svg", "plot");
  ASSERT_EQ(plots.size(), 3u);
  for (const auto* plot : plots) {
    const auto lines = plot->FindAll("polyline", "simulated");
    ASSERT_EQ(lines.size(), 1u);
    std::istringstream points(lines[0]->Attribute("points"));
    int n = 0;
    for (std::string pt; points >> pt;) ++n;
    EXPECT_EQ(n, 101);
  }
  EXPECT_EQ(doc->FindAll("table", "control").at(0)->FindAll("tr").size(), 2u);  // header + 1 phase
}

}  // namespace
}  // namespace soilcal::testing

namespace soilcal::testing {
namespace {

// Tick values of one axis of a plot (the minus sign of the ticks is U+2212).
std::vector<double> Ticks(const XmlNode& plot, const char* anchor) {
  std::vector<double> out;
  for (const XmlNode* g : plot.FindAll("g", "ticks")) {
    for (const auto& t : g->children) {
      if (t->Attribute("text-anchor") != anchor) continue;
      std::string text = t->text;
      if (text.rfind("\u2212", 0) == 0) text = "-" + text.substr(3);
      out.push_back(std::stod(text));
    }
  }
  return out;
}

TEST(LabTestProgram, AnOedometerIsDrawnAgainstLogStressWithASignedDeviator) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  TempDir dir;
  fs::copy_file(SourcePath("examples/soft_clay/OEDO1.VLT"), dir.path() / "OEDO1.VLT");
  const LabTestOutput table = RunLabTestProgram(dir.path(), "OEDO1.VLT");
  ASSERT_EQ(table.exitStatus, 0) << table.err;
  const ProcessRun run = RunProcess(BuildPath("soilcal-labtest"), {"OEDO1.VLT", "--report", "lab.html"},
                                    dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::string error;
  const auto doc = ParseXml(dir.Read("lab.html"), error);
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_NE(doc->text.find("OEDO1.VLT · oedometer · material: Soft clay (modified Cam-Clay)"),
            std::string::npos);
  const auto plots = doc->FindAll("svg", "plot");
  ASSERT_EQ(plots.size(), 2u);
  // The compression curve: loaded from 100 to 400, unloaded to 200, on a
  // log axis of 1-to-9 steps.
  const XmlNode& curve = *plots[0];
  EXPECT_EQ(curve.FindAll("text", "xlabel").at(0)->text, "vertical effective stress σ′v [kPa]");
  EXPECT_EQ(curve.FindAll("text", "ylabel").at(0)->text, "vertical strain εa [%]");
  EXPECT_EQ(Ticks(curve, "middle"), (std::vector<double>{100, 200, 300, 400}));
  // Unloading drives the lateral stress above the vertical one: the
  // deviator σ′a − σ′r of the last point is negative, and the axis reaches it.
  const RecordedPoint& last = table.points.back();
  const double q = (last.sig[0] + last.sig[2]) / 2.0 - last.sig[1];
  ASSERT_LT(q, 0.0);
  const XmlNode& path = *plots[1];
  EXPECT_EQ(path.FindAll("text", "ylabel").at(0)->text, "deviator stress q = σ′a − σ′r [kPa]");
  const std::vector<double> y = Ticks(path, "end");
  ASSERT_FALSE(y.empty());
  EXPECT_LE(*std::min_element(y.begin(), y.end()), q);
}

}  // namespace
}  // namespace soilcal::testing
