// The comparison of several calibrations: the information criteria, the
// ranking and its verdict, comparison.json and the figures of the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include <nlohmann/json.hpp>

#include "report/comparison.hpp"
#include "xml_tree.hpp"

namespace soilcal::testing {
namespace {

using report::ComparedModel;

double Degrees(double sine) { return std::asin(sine) * 180.0 / std::numbers::pi; }

report::ParameterSummary Param(int slot, const std::string& name, double lower, double upper,
                               double best) {
  report::ParameterSummary p;
  p.slot = slot;
  p.name = name;
  p.lower = lower;
  p.upper = upper;
  p.start = (lower + upper) / 2.0;
  p.best = best;
  p.sensitivity = 50.0;
  return p;
}

// A finished run of `k` free parameters whose best point has objective S
// over `points` measured points (one test, one curve).
report::Summary Fit(const std::string& model, int number, int k, double objective, int points) {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.exitCode = 0;
  s.modelNumber = number;
  s.modelName = model;
  s.units = report::JobUnits{"kN", "m", "day"};
  s.searchMode = "thorough";
  for (int j = 0; j < k; ++j) {
    s.parameters.push_back(Param(j + 1, "p" + std::to_string(j), 0.0, 1.0, 0.5));
  }
  s.start = report::PointSummary{50.0, 1.0};
  s.best = report::PointSummary{10.0 * objective, objective};
  report::CurveSummary curve{"Q.TXT", -14, 5, points, report::CurveFitSummary{40.0, points},
                             report::CurveFitSummary{12.5, points}, {points}};
  s.tests = {{"TXC.VLT", {curve}, "TXC", "sand", {}, {100}}};
  return s;
}

ComparedModel Model(const std::string& name, std::optional<report::Summary> summary) {
  ComparedModel m;
  m.name = name;
  m.folder = name + "/";
  m.summary = std::move(summary);
  return m;
}

std::vector<std::string> Names(const report::Comparison& c) {
  std::vector<std::string> out;
  for (const ComparedModel& m : c.models) out.push_back(m.name);
  return out;
}

bool Says(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ModelComparison, InformationCriteriaAreTheGaussianLikelihoodChargedPerParameter) {
  // S = 0.5 over m = 50 points: the variance estimate S/m = 0.01.
  const report::Criteria c = report::InformationCriteria(0.5, 50, 3);
  EXPECT_NEAR(c.aic, 50.0 * std::log(0.01) + 2.0 * 3.0, 1e-12);
  EXPECT_NEAR(c.bic, 50.0 * std::log(0.01) + 3.0 * std::log(50.0), 1e-12);
  // A perfect fit stays finite: the variance floor, 1e-12.
  const report::Criteria perfect = report::InformationCriteria(0.0, 10, 1);
  EXPECT_NEAR(perfect.aic, 10.0 * std::log(1e-12) + 2.0, 1e-9);
  // One more parameter costs 2 in AIC and ln m in BIC at the same fit.
  const report::Criteria more = report::InformationCriteria(0.5, 50, 4);
  EXPECT_NEAR(more.aic - c.aic, 2.0, 1e-12);
  EXPECT_NEAR(more.bic - c.bic, std::log(50.0), 1e-12);
}

TEST(ModelComparison, AnExtraParameterMustPayForItselfInBic) {
  // B fits a little closer than A with one parameter more: 100 ln(0.98) +
  // ln 100 = 2.58 higher, so A ranks first and the two can be told apart.
  // F failed; it comes last whatever its place in the list.
  report::Summary failed = Fit("F", 2, 2, 1.0, 100);
  failed.exitCode = 13;
  failed.exitName = "MAT_PARAM_INDEX_OUTSIDE_RANGE";
  failed.best.reset();
  const report::Comparison c = report::CompareModels(
      "job", {Model("F", failed), Model("B", Fit("B", 106, 3, 0.98, 100)), Model("A", Fit("A", 102, 2, 1.0, 100))});
  EXPECT_EQ(Names(c), (std::vector<std::string>{"A", "B", "F"}));
  EXPECT_EQ(c.models[0].rank, 1);
  EXPECT_EQ(c.models[1].objectiveRank, 1);  // B has the lower objective
  EXPECT_EQ(c.models[0].objectiveRank, 2);
  EXPECT_NEAR(c.models[1].criteria->bic - c.models[0].criteria->bic,
              100.0 * std::log(0.98) + std::log(100.0), 1e-9);
  EXPECT_FALSE(c.models[2].fitted);
  EXPECT_TRUE(Says(c.models[2].note, "MAT_PARAM_INDEX_OUTSIDE_RANGE (exit code 13)"));
  EXPECT_TRUE(c.indistinguishable.empty());
  EXPECT_TRUE(Says(c.verdict, "A fits these tests best: objective 1 against 0.98 for B")) << c.verdict;
  EXPECT_TRUE(Says(c.verdict, "B comes closer (objective 0.98), but its extra parameter is not "
                              "justified by BIC (2.58 higher)"))
      << c.verdict;
  EXPECT_TRUE(Says(c.verdict, "F is not compared: not calibrated")) << c.verdict;

  // Halving the objective pays for the parameter: 100 ln(0.5) + ln 100.
  const report::Comparison paid = report::CompareModels(
      "job", {Model("Mohr-Coulomb", Fit("MC", 102, 2, 0.206, 100)),
              Model("Hardening Soil", Fit("HS", 106, 3, 0.030, 100))});
  EXPECT_EQ(Names(paid), (std::vector<std::string>{"Hardening Soil", "Mohr-Coulomb"}));
  EXPECT_TRUE(Says(paid.verdict, "Hardening Soil fits these tests best: objective 0.03 against "
                                 "0.206 for Mohr-Coulomb; its extra parameter is justified by BIC"))
      << paid.verdict;
}

TEST(ModelComparison, ModelsWithinTwoOfTheBestBicCannotBeToldApart) {
  // G: 100 ln(0.965) + ln 100 = 1.04 above A; H far worse.
  const report::Comparison c = report::CompareModels(
      "job", {Model("G", Fit("G", 106, 3, 0.965, 100)), Model("A", Fit("A", 102, 2, 1.0, 100)),
              Model("H", Fit("H", 101, 1, 3.0, 100))});
  EXPECT_EQ(Names(c), (std::vector<std::string>{"A", "G", "H"}));
  EXPECT_EQ(c.indistinguishable, (std::vector<std::string>{"A", "G"}));
  EXPECT_TRUE(Says(c.verdict, "A and G cannot be told apart on these tests")) << c.verdict;
  EXPECT_TRUE(Says(c.verdict, "A, with 2 free parameters, is the simpler choice")) << c.verdict;
  EXPECT_TRUE(Says(c.verdict, "H fits worse: objective 3")) << c.verdict;
}

TEST(ModelComparison, PointsAreTheResidualsOfTheUncertaintyStepElseThoseInRange) {
  report::Summary withResiduals = Fit("A", 102, 2, 1.0, 120);
  withResiduals.uncertainty = report::UncertaintySummary{};
  withResiduals.uncertainty->computed = true;
  withResiduals.uncertainty->residualCount = 100;  // 20 measured values of zero left out
  const report::Comparison c = report::CompareModels(
      "job", {Model("A", withResiduals), Model("B", Fit("B", 106, 2, 1.0, 90))});
  ASSERT_EQ(Names(c), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(c.models[0].points, 100);
  EXPECT_EQ(c.models[1].points, 90);
  EXPECT_NEAR(c.models[0].criteria->bic, 100.0 * std::log(0.01) + 2.0 * std::log(100.0), 1e-9);
  EXPECT_NEAR(c.models[1].criteria->bic, 90.0 * std::log(1.0 / 90.0) + 2.0 * std::log(90.0), 1e-9);
  // Fits over different points: the verdict says so.
  EXPECT_TRUE(c.pointsDiffer);
  EXPECT_TRUE(Says(c.verdict, "different numbers of measured points (A 100 and B 90)")) << c.verdict;
}

TEST(ModelComparison, JsonListsTheModelsByRankWithTheirParametersAsShown) {
  // A native job: φ stored as its sine, its interval too; a TOML job: φ in
  // degrees already.
  report::Summary native = Fit("Mohr-Coulomb", 102, 2, 0.2, 60);
  native.parameters[1] = Param(3, "phi", 0.4, 0.8, 0.62);
  native.parameters[1].display = report::ParameterDisplay{"φ", "friction angle", "°", true};
  report::ParameterUncertaintySummary u;
  u.standardError = 0.01;
  u.interval95 = std::make_pair(0.60, 0.64);
  u.profile = report::ProfileSummary{0.605, std::nullopt};
  u.flags = {{"near_bound", "..."}};
  native.parameters[1].uncertainty = u;
  report::Summary toml = Fit("Hardening Soil", 106, 3, 0.03, 60);
  toml.parameters[0] = Param(3, "phi", 25.0, 45.0, 36.2);
  toml.parameters[0].jobUnits = true;
  toml.parameters[0].unit = "°";
  toml.parameters[0].slotBest = 0.5906;
  toml.parameters[0].display = report::ParameterDisplay{"φ", "friction angle", "°", false};

  const report::Comparison c = report::CompareModels(
      "cmp.toml", {Model("Mohr-Coulomb", native), Model("Hardening Soil", toml)});
  const nlohmann::json j = nlohmann::json::parse(report::ComparisonJson(c));
  EXPECT_EQ(j.at("criterion"), "bic");
  ASSERT_EQ(j.at("models").size(), 2u);
  const nlohmann::json& first = j.at("models")[0];
  const nlohmann::json& second = j.at("models")[1];
  EXPECT_EQ(first.at("name"), "Hardening Soil");
  EXPECT_EQ(first.at("model_number"), 106);
  EXPECT_EQ(first.at("folder"), "Hardening Soil/");
  EXPECT_EQ(second.at("rank"), 2);
  EXPECT_DOUBLE_EQ(first.at("objective").get<double>(), 0.03);
  EXPECT_DOUBLE_EQ(first.at("mean_relative_error").get<double>(), 0.3);
  const report::Criteria hs = report::InformationCriteria(0.03, 60, 3);
  EXPECT_DOUBLE_EQ(first.at("aic").get<double>(), hs.aic);
  EXPECT_DOUBLE_EQ(first.at("bic").get<double>(), hs.bic);
  EXPECT_LT(first.at("bic").get<double>(), second.at("bic").get<double>());
  EXPECT_EQ(first.at("free_parameters").size(), 3u);
  EXPECT_DOUBLE_EQ(first.at("free_parameters")[0].at("best").get<double>(), 36.2);

  const nlohmann::json& phi = second.at("free_parameters")[1];
  EXPECT_EQ(phi.at("name"), "phi");
  EXPECT_EQ(phi.at("unit"), "°");
  EXPECT_NEAR(phi.at("best").get<double>(), Degrees(0.62), 1e-12);
  EXPECT_NEAR(phi.at("interval_95")[0].get<double>(), Degrees(0.60), 1e-12);
  EXPECT_NEAR(phi.at("interval_95")[1].get<double>(), Degrees(0.64), 1e-12);
  EXPECT_NEAR(phi.at("profile_interval_95")[0].get<double>(), Degrees(0.605), 1e-12);
  EXPECT_TRUE(phi.at("profile_interval_95")[1].is_null());  // not closed
  EXPECT_EQ(phi.at("flags"), nlohmann::json::array({"near_bound"}));
}

// Two tests, three measured curves; the third model's run failed and left
// no curves.
report::Comparison ThreeModels() {
  std::vector<ComparedModel> models;
  const std::vector<std::string> names{"Hardening Soil with small-strain stiffness",
                                       "Mohr-Coulomb", "linear elastic"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    report::Summary s = Fit(names[i], 102, 2, 0.1 * static_cast<double>(i + 1), 30);
    report::CurveSummary ev{"EV.TXT", -14, -6, 3, std::nullopt, report::CurveFitSummary{5.0, 3}, {3}};
    s.tests[0].curves.push_back(ev);
    s.tests.push_back(s.tests[0]);
    s.tests[1].file = "TXC2.VLT";
    s.tests[1].curves.pop_back();
    ComparedModel m = Model(names[i], s);
    if (i == 2) {
      m.summary->exitCode = 11;
      m.summary->best.reset();
    } else {
      const double gain = 100.0 * static_cast<double>(i + 1);
      report::CurvePoints p;
      p.measured = {{0.0, 0.01, 0.02}, {0.0, 150.0, 200.0}};
      p.best = {{0.0, 0.005, 0.01, 0.015, 0.02}, {0.0, gain, 150.0, 180.0, 200.0}};
      m.curves = {{p, p}, {p}};
    }
    models.push_back(std::move(m));
  }
  return report::CompareModels("cmp.toml", std::move(models));
}

TEST(ModelComparisonReport, DrawsOneFigurePerMeasuredCurveWithALinePerModel) {
  const report::Comparison c = ThreeModels();
  const std::string page = report::RenderComparisonReport(c);
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  std::string error;
  const auto root = ParseXml(page, error);
  ASSERT_NE(root, nullptr) << error;
  const auto plots = root->FindAll("svg", "plot");
  ASSERT_EQ(plots.size(), 3u);  // Q.TXT and EV.TXT of the first test, Q.TXT of the second
  for (const XmlNode* plot : plots) {
    const auto lines = plot->FindAll("polyline", "model");
    // The failed model has no curve: one line for each of the others, each
    // with the five points of its calibrated curve.
    ASSERT_EQ(lines.size(), 2u);
    for (const XmlNode* line : lines) {
      const std::string points = line->Attribute("points");
      EXPECT_EQ(std::count(points.begin(), points.end(), ' '), 4);
    }
    EXPECT_NE(lines[0]->Attribute("stroke"), lines[1]->Attribute("stroke"));
    EXPECT_EQ(plot->FindAll("circle", "measured").size(), 3u);
    // Every key of the legend lies inside the figure, the long name too.
    const double width = std::stod(plot->Attribute("width"));
    std::vector<std::string> keys;
    for (const XmlNode* g : plot->FindAll("g", "legend")) {
      for (const auto& t : g->children) {
        if (t->name != "text") continue;
        keys.push_back(t->text);
        EXPECT_LT(std::stod(t->Attribute("x")) + 6.2 * static_cast<double>(t->text.size()), width)
            << t->text;
      }
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"measured", "Hardening Soil with small-strain stiffness",
                                              "Mohr-Coulomb"}));
  }
  // The ranking: one row per model, the failed one last with its note.
  const auto tables = root->FindAll("table", "ranking");
  ASSERT_EQ(tables.size(), 1u);
  const auto rows = tables[0]->FindAll("tr");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(Says(rows[3]->text, "linear elastic"));
  EXPECT_TRUE(Says(rows[3]->text, "not calibrated"));
}

}  // namespace
}  // namespace soilcal::testing
