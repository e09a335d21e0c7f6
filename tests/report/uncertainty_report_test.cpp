// The uncertainty as the engineer reads it: sentences in degrees and the
// job's units, the JSON summary's keys and its round trip, and the report's
// heat map, bar marks and well-formed page.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include <nlohmann/json.hpp>

#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "report/uncertainty_text.hpp"
#include "support/files.hpp"
#include "xml_tree.hpp"

namespace soilcal::testing {
namespace {

namespace opt = optimisation;

double SinDeg(double d) { return std::sin(d * std::numbers::pi / 180.0); }

opt::UncertaintyFlag Flag(opt::FlagKind kind) {
  opt::UncertaintyFlag f;
  f.kind = kind;
  return f;
}

// A Mohr-Coulomb calibration of G, phi and psi (kN, m): G at its upper
// bound, G and phi strongly correlated, psi undetermined on both sides of
// its profile.
struct Sample {
  input::Job job;
  report::Summary summary;
  opt::UncertaintyResult result;
};

Sample MakeSample() {
  Sample s;
  s.job.modelNumber = 102;
  s.job.material.forceUnit = "kN";
  s.job.material.lengthUnit = "m";
  s.job.material.timeUnit = "day";
  report::Summary& sum = s.summary;
  sum.job = "OPTIM.TXT";
  sum.exitCode = 0;
  sum.modelNumber = 102;
  const struct { int slot; const char* name; double lower, upper, best; } rows[] = {
      {1, "Gref", 5000.0, 60000.0, 59800.0},
      {3, "phi", SinDeg(20.0), SinDeg(45.0), SinDeg(38.0)},
      {5, "psi", 0.0, SinDeg(17.0), SinDeg(6.0)}};
  for (const auto& r : rows) {
    report::ParameterSummary p;
    p.slot = r.slot;
    p.name = r.name;
    p.lower = r.lower;
    p.upper = r.upper;
    p.start = r.best * 0.9;
    p.best = r.best;
    p.sensitivity = 50.0;
    sum.parameters.push_back(p);
  }
  opt::UncertaintyResult& u = s.result;
  u.computed = true;
  u.residualCount = 36;
  u.degreesOfFreedom = 33;
  u.objective = 0.01;
  u.residualVariance = 0.01 / 33.0;
  u.tQuantile = 2.0345;
  u.profileThreshold = 0.0113;
  u.profilesRun = true;
  u.conditionNumber = 2.0e4;
  u.jacobianEvaluations = 7;
  u.profileEvaluations = 500;
  const double nan = std::nan("");
  u.correlation = {{1.0, 0.97, nan}, {0.97, 1.0, nan}, {nan, nan, nan}};
  u.parameters.resize(3);
  u.parameters[0] = {59800.0, 400.0, 59000.0, 60600.0, std::nullopt, {}};
  u.parameters[0].profile = opt::ProfileInterval{{opt::ProfileEnd::kClosed, 58900.0},
                                                 {opt::ProfileEnd::kBound, std::nullopt}, 40, 0.01, {}};
  u.parameters[0].flags.push_back(Flag(opt::FlagKind::kNearBound));
  u.parameters[0].flags.back().upper = true;
  u.parameters[1] = {SinDeg(38.0), 0.004, SinDeg(38.0) - 0.008, SinDeg(38.0) + 0.008, std::nullopt, {}};
  u.parameters[1].profile = opt::ProfileInterval{{opt::ProfileEnd::kClosed, SinDeg(37.4)},
                                                 {opt::ProfileEnd::kClosed, SinDeg(38.7)}, 40, 0.01, {}};
  for (int j : {0, 1}) {
    opt::UncertaintyFlag f = Flag(opt::FlagKind::kCorrelated);
    f.other = 1 - j;
    f.value = 0.97;
    u.parameters[static_cast<std::size_t>(j)].flags.push_back(f);
  }
  u.parameters[2] = {SinDeg(6.0), INFINITY, -INFINITY, INFINITY, std::nullopt, {}};
  u.parameters[2].profile = opt::ProfileInterval{{opt::ProfileEnd::kBound, std::nullopt},
                                                 {opt::ProfileEnd::kBound, std::nullopt}, 400, 0.01, {}};
  opt::UncertaintyFlag open = Flag(opt::FlagKind::kNotIdentifiable);
  open.fromProfile = open.lowOpen = open.highOpen = true;
  u.parameters[2].flags = {Flag(opt::FlagKind::kInsensitive), open};
  report::DescribeUncertainty(u, s.job, sum);
  return s;
}

std::vector<std::string> Texts(const report::ParameterSummary& p) {
  std::vector<std::string> out;
  for (const auto& f : p.uncertainty->flags) out.push_back(f.kind + ": " + f.text);
  return out;
}

TEST(UncertaintyReport, FlagsReadAsSentencesInDegreesAndTheJobsUnits) {
  const Sample s = MakeSample();
  const auto& ps = s.summary.parameters;
  ASSERT_TRUE(ps[0].uncertainty && ps[1].uncertainty && ps[2].uncertainty);
  const std::string pair =
      "correlated: G and φ are strongly correlated (ρ = 0.97): the curves fix a combination of "
      "them rather than each; fix one of them or add a test that separates them.";
  EXPECT_EQ(Texts(ps[0]), (std::vector<std::string>{
                              "near_bound: G = 59800 kPa lies at its upper bound 60000 kPa: the "
                              "best value may lie beyond it; widen the bound.",
                              pair}));
  EXPECT_EQ(Texts(ps[1]), (std::vector<std::string>{pair}));
  EXPECT_EQ(Texts(ps[2]),
            (std::vector<std::string>{
                "insensitive: ψ has no effect on these curves: fix it or add a volumetric curve.",
                "not_identifiable: ψ cannot be determined from these curves: its profile does not "
                "close within 0–17°; fix it or add a volumetric curve."}));
  // Numbers stay in the slot's units, as "calibrated": sin phi here.
  EXPECT_EQ(ps[1].uncertainty->profile->low, SinDeg(37.4));
  EXPECT_FALSE(ps[2].uncertainty->standardError.has_value());
  EXPECT_FALSE(ps[2].uncertainty->interval95.has_value());
  EXPECT_FALSE(ps[0].uncertainty->profile->high.has_value());
}

TEST(UncertaintyReport, JsonCarriesEveryFieldAndReadsBackTheSame) {
  const Sample s = MakeSample();
  const std::string text = report::SummaryToJson(s.summary);
  const auto j = nlohmann::json::parse(text);
  const auto& phi = j["parameters"][1]["uncertainty"];
  EXPECT_DOUBLE_EQ(phi["standard_error"].get<double>(), 0.004);
  EXPECT_DOUBLE_EQ(phi["interval_95"][0].get<double>(), SinDeg(38.0) - 0.008);
  EXPECT_DOUBLE_EQ(phi["interval_95"][1].get<double>(), SinDeg(38.0) + 0.008);
  EXPECT_DOUBLE_EQ(phi["profile"][1].get<double>(), SinDeg(38.7));
  EXPECT_EQ(phi["flags"][0]["kind"], "correlated");
  const auto& psi = j["parameters"][2]["uncertainty"];
  EXPECT_TRUE(psi["standard_error"].is_null());
  EXPECT_TRUE(psi["interval_95"].is_null());
  EXPECT_TRUE(psi["profile"][0].is_null() && psi["profile"][1].is_null());
  EXPECT_EQ(j["correlation"]["parameters"], (nlohmann::json{"Gref", "phi", "psi"}));
  EXPECT_DOUBLE_EQ(j["correlation"]["matrix"][0][1].get<double>(), 0.97);
  EXPECT_DOUBLE_EQ(j["correlation"]["matrix"][1][0].get<double>(), 0.97);
  EXPECT_TRUE(j["correlation"]["matrix"][2][2].is_null());
  EXPECT_DOUBLE_EQ(j["condition_number"].get<double>(), 2.0e4);
  EXPECT_EQ(j["residual_count"], 36);
  EXPECT_EQ(j["uncertainty_method"]["evaluations"], 507);
  EXPECT_EQ(j["uncertainty_method"]["degrees_of_freedom"], 33);

  TempDir dir;
  dir.Write("calibration_summary.json", text);
  std::string error;
  const auto back = report::ReadSummaryJson((dir.path() / "calibration_summary.json").string(), error);
  ASSERT_TRUE(back.has_value()) << error;
  EXPECT_EQ(report::SummaryToJson(*back), text);

  // A run without the step: every uncertainty field null.
  report::Summary none = s.summary;
  none.uncertainty.reset();
  for (auto& p : none.parameters) p.uncertainty.reset();
  const auto n = nlohmann::json::parse(report::SummaryToJson(none));
  for (const char* key : {"correlation", "condition_number", "residual_count", "uncertainty_method"}) {
    EXPECT_TRUE(n[key].is_null()) << key;
  }
  EXPECT_TRUE(n["parameters"][0]["uncertainty"].is_null());
}

TEST(UncertaintyReport, PageShowsTheHeatMapTheBarMarksAndEachSentenceOnce) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  const Sample s = MakeSample();
  const std::string html = report::RenderCalibrationReport(s.summary, {});
  std::string error;
  const auto doc = ParseXml(html, error);
  ASSERT_NE(doc, nullptr) << error;
  const auto maps = doc->FindAll("svg", "correlation");
  ASSERT_EQ(maps.size(), 1u);
  EXPECT_EQ(maps[0]->FindAll("rect", "rho").size(), 9u);
  // Linearised bands for G and phi (psi has none), profile lines on both
  // sides of all three.
  EXPECT_EQ(doc->FindAll("rect", "interval").size(), 2u);
  EXPECT_EQ(doc->FindAll("line", "profile").size(), 6u);
  const auto items = doc->FindAll("li", "correlated");
  EXPECT_EQ(items.size(), 1u);  // the pair once, not once per parameter
  const auto open = doc->FindAll("li", "not_identifiable");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_NE(open[0]->text.find("within 0–17°"), std::string::npos);
  // The table gives phi's interval in degrees.
  const auto tables = doc->FindAll("table", "uncertainty");
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_NE(tables[0]->text.find("37.4° to 38.7°"), std::string::npos) << tables[0]->text;
}

}  // namespace
}  // namespace soilcal::testing
