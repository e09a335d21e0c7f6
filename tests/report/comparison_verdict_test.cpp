// The comparison's verdict says when the mean relative error ranks the
// models otherwise than BIC (and which curves decide each), and marks a
// model whose search did not reach its optimum instead of declaring it the
// winner silently.
#include <gtest/gtest.h>

#include <string>

#include "report/comparison.hpp"

namespace soilcal::report {
namespace {

// A calibrated model of `k` free parameters over two curves of 20 points:
// its objective and mean relative error, and each curve's error.
ComparedModel Model(const std::string& name, int k, double objective, double meanError,
                    double triaxialError, double volumetricError) {
  Summary s;
  s.job = name + ".toml";
  s.exitCode = 0;
  s.stopReason = "converged";
  for (int j = 0; j < k; ++j) {
    ParameterSummary p;
    p.name = "p" + std::to_string(j);
    p.lower = 0.0;
    p.upper = 1.0;
    p.best = 0.5;
    s.parameters.push_back(p);
  }
  s.best = PointSummary{meanError, objective};
  TestSummary t;
  t.file = "TXD1.VLT";
  CurveSummary q, v;
  q.file = "q.csv";
  q.nPoints = 20;
  q.best = CurveFitSummary{triaxialError, 20, 0};
  v.file = "ev.csv";
  v.nPoints = 20;
  v.best = CurveFitSummary{volumetricError, 20, 0};
  t.curves = {q, v};
  s.tests.push_back(t);
  ComparedModel m;
  m.name = name;
  m.label = name;
  m.summary = s;
  return m;
}

// HS-small wins on BIC (objective 0.5 against 1.0 over 40 points: BIC 27.7
// lower less its extra parameter's 3.7) while Hardening Soil has the lower
// mean relative error: the verdict says so and names each one's worst
// curves.
TEST(ComparisonVerdict, AMeanErrorThatRanksOtherwiseIsSaidWithItsCurves) {
  const Comparison c = CompareModels(
      "cmp.toml", {Model("Hardening Soil", 3, 1.0, 32.1, 20.0, 44.2),
                   Model("HS small", 4, 0.5, 38.1, 25.0, 51.2)});
  ASSERT_EQ(c.models.front().name, "HS small");
  EXPECT_NE(c.verdict.find("By the mean relative error Hardening Soil fits closer (32.1 % "
                           "against 38.1 % for HS small)"),
            std::string::npos)
      << c.verdict;
  EXPECT_NE(c.verdict.find("HS small is decided by TXD1.VLT / ev.csv (51.2 %) and TXD1.VLT / "
                           "q.csv (25 %)"),
            std::string::npos)
      << c.verdict;
  EXPECT_NE(c.verdict.find("Hardening Soil by TXD1.VLT / ev.csv (44.2 %)"), std::string::npos);
  // With each curve's term of the objective known, the curves are named by
  // their share of it: the volumetric curve's 0.45 of HS small's 0.5.
  ComparedModel small = Model("HS small", 4, 0.5, 38.1, 25.0, 51.2);
  small.summary->tests[0].curves[0].best->objective = 0.05;
  small.summary->tests[0].curves[1].best->objective = 0.45;
  const Comparison shares =
      CompareModels("cmp.toml", {Model("Hardening Soil", 3, 1.0, 32.1, 20.0, 44.2), small});
  EXPECT_NE(shares.verdict.find("HS small is decided by TXD1.VLT / ev.csv (90 % of its "
                                "objective) and TXD1.VLT / q.csv (10 % of its objective)"),
            std::string::npos)
      << shares.verdict;
  // When both orders agree nothing is added.
  const Comparison agree = CompareModels(
      "cmp.toml", {Model("Hardening Soil", 3, 1.0, 40.0, 20.0, 44.2),
                   Model("HS small", 4, 0.5, 30.0, 25.0, 51.2)});
  EXPECT_EQ(agree.verdict.find("By the mean relative error"), std::string::npos) << agree.verdict;
}

// A winner whose profiles met a better point, or whose search ran out of
// iterations, is marked as not settled.
TEST(ComparisonVerdict, AWinnerWhoseSearchStoppedShortIsMarked) {
  ComparedModel small = Model("HS small", 4, 0.5, 30.0, 25.0, 35.0);
  ParameterUncertaintySummary u;
  u.flags.push_back({"search_short", "The profiles met a better fit than the search."});
  small.summary->parameters[0].uncertainty = u;
  ComparedModel hs = Model("Hardening Soil", 3, 1.0, 40.0, 20.0, 44.2);
  hs.summary->stopReason = "iteration_limit";
  const Comparison c = CompareModels("cmp.toml", {hs, small});
  ASSERT_EQ(c.models.front().name, "HS small");
  EXPECT_NE(c.verdict.find("HS small did not reach its optimum: its profiles met a better fit "
                           "than its search, so its figures may still improve and its first "
                           "rank is not settled; run it again with --search=thorough."),
            std::string::npos)
      << c.verdict;
  EXPECT_NE(c.verdict.find("Hardening Soil did not reach its optimum: its search stopped on its "
                           "iteration limit, so its figures may still improve;"),
            std::string::npos)
      << c.verdict;
  // A converged search is not marked.
  const Comparison plain = CompareModels(
      "cmp.toml", {Model("Hardening Soil", 3, 1.0, 40.0, 20.0, 44.2),
                   Model("HS small", 4, 0.5, 30.0, 25.0, 51.2)});
  EXPECT_EQ(plain.verdict.find("did not reach its optimum"), std::string::npos) << plain.verdict;
}

}  // namespace
}  // namespace soilcal::report
