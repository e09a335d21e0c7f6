// The program reads back the summary it writes when every number that can
// be unknown is unknown: NaN and infinities are written as null, and a
// comparison or a report of such a run must not stop at "type must be
// number, but is null".
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "report/summary_json.hpp"
#include "support/files.hpp"

namespace soilcal::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Summary Unknowns() {
  Summary s;
  s.job = "job.toml";
  s.exitCode = 0;
  s.cpuSeconds = kNaN;
  s.tolerance = kInf;
  ParameterSummary p;
  p.slot = 5;
  p.name = "psi";
  p.lower = kNaN;
  p.upper = kInf;
  p.start = kNaN;
  p.best = kNaN;
  p.sensitivity = kNaN;
  ParameterUncertaintySummary u;
  u.standardError = kInf;
  u.interval95 = std::make_pair(kNaN, 3.0);
  u.profile = ProfileSummary{std::nullopt, kNaN};
  u.flags.push_back({"not_identifiable", "ψ cannot be determined from these curves."});
  p.uncertainty = u;
  s.parameters.push_back(p);
  s.start = PointSummary{kNaN, kInf};
  s.best = PointSummary{kInf, kNaN};
  TestSummary t;
  t.file = "T.VLT";
  CurveSummary c;
  c.file = "T_1.TXT";
  c.nPoints = 4;
  c.start = CurveFitSummary{kNaN, 0, 4};
  c.best = CurveFitSummary{kInf, 2, 1};
  t.curves.push_back(c);
  s.tests.push_back(t);
  UncertaintySummary us;
  us.computed = true;
  us.residualVariance = kNaN;
  us.tQuantile = kInf;
  us.conditionNumber = kInf;
  us.correlation = {{std::nullopt}};
  us.order = {"psi"};
  s.uncertainty = us;
  return s;
}

TEST(SummaryNulls, EveryUnknownNumberReadsBackAsUnknown) {
  testing::TempDir dir;
  const std::string path = (dir.path() / kSummaryFileName).string();
  ASSERT_TRUE(WriteSummaryJson(Unknowns(), path));
  const std::string text = testing::ReadFile(path);
  EXPECT_EQ(text.find("NaN"), std::string::npos);
  EXPECT_NE(text.find("null"), std::string::npos);
  std::string error;
  const std::optional<Summary> back = ReadSummaryJson(path, error);
  ASSERT_TRUE(back.has_value()) << error;
  const ParameterSummary& p = back->parameters.at(0);
  EXPECT_TRUE(std::isnan(p.lower));
  EXPECT_TRUE(std::isnan(p.upper));
  EXPECT_FALSE(p.best.has_value());
  EXPECT_FALSE(p.sensitivity.has_value());
  ASSERT_TRUE(p.uncertainty.has_value());
  EXPECT_FALSE(p.uncertainty->standardError.has_value());
  EXPECT_FALSE(p.uncertainty->interval95.has_value());
  ASSERT_EQ(p.uncertainty->flags.size(), 1u);
  EXPECT_EQ(p.uncertainty->flags[0].kind, "not_identifiable");
  ASSERT_TRUE(back->best.has_value());
  EXPECT_TRUE(std::isnan(back->best->meanError));
  const CurveSummary& c = back->tests.at(0).curves.at(0);
  ASSERT_TRUE(c.best.has_value());
  EXPECT_TRUE(std::isnan(c.best->error));
  EXPECT_EQ(c.best->nValid, 2);
  EXPECT_EQ(c.best->nUninformative, 1);
  EXPECT_EQ(c.start->nUninformative, 4);
}

}  // namespace
}  // namespace soilcal::report
