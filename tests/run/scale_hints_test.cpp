// Strains given in percent where fractions are read: the hint names the
// axis the job would scale (x_scale or y_scale of a TOML job, the column of
// a native curve file), only for strains, only about a hundredfold.
#include <gtest/gtest.h>

#include "run/scale_hints.hpp"

namespace soilcal::testing {
namespace {

using input::TestKind;
using input::TestType;

// One triaxial test, one curve: volumetric strain (y, code -6) against axial
// strain (x, code -14), measured values `mx`, `my`, simulated 0..5 %.
struct OneCurve {
  input::Job job;
  report::Summary summary;
  report::JobCurves curves;
};

OneCurve Make(std::vector<double> mx, std::vector<double> my, bool toml) {
  OneCurve c;
  report::TestSummary t;
  t.file = "TRIAX1.VLT";
  t.type = TestType{TestKind::kTriaxialCompression};
  report::CurveSummary curve;
  curve.file = "EV.TXT";
  curve.column1 = -14;
  curve.column2 = -6;
  if (toml) curve.label = "ev.csv (volumetric strain)";
  t.curves = {curve};
  c.summary.tests = {t};
  report::CurvePoints points;
  points.measured = {std::move(mx), std::move(my)};
  points.start = {{0.0, 0.025, 0.05}, {0.0, 0.01, 0.02}};
  c.curves = {{points}};
  if (toml) {
    input::JobLanguage language;
    input::CurveLanguage l;
    l.x = {"axial_strain", -14};
    l.y = {"volumetric_strain", -6};
    language.curves = {{l}};
    c.job.language = language;
  }
  return c;
}

TEST(ScaleHints, NameTheAxisAJobWouldScale) {
  // Both axes in percent: the simulated 0.05 and 0.02 reached by 5 and 2.
  OneCurve both = Make({0, 2.5, 5}, {0, 1, 2}, true);
  const auto hints = run::ScaleHints(both.job, both.summary, both.curves);
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_EQ(hints[0].kind, "percent_scale");
  EXPECT_EQ(hints[0].text,
            "TRIAX1.VLT / ev.csv (volumetric strain): the measured axial strain reaches 5 where "
            "the simulated one reaches 0.05: are these strains in percent? add x_scale = 0.01 to "
            "this curve of the job file");
  EXPECT_NE(hints[1].text.find("the measured volumetric strain reaches 2 where the simulated one "
                               "reaches 0.02: are these strains in percent? add y_scale = 0.01"),
            std::string::npos)
      << hints[1].text;

  // A native job: the curve file's column.
  OneCurve native = Make({0, 0.025, 0.05}, {0, 1, 2}, false);
  const auto said = run::ScaleHints(native.job, native.summary, native.curves);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].text.find("TRIAX1.VLT / EV.TXT: the measured volumetric strain reaches 2"),
            std::string::npos);
  EXPECT_NE(said[0].text.find("divide that column by 100"), std::string::npos);
}

TEST(ScaleHints, OnlyAboutAHundredfoldAndOnlyForStrains) {
  // Fractions, a test stopped at a third of the measured range (ratio 3),
  // and a thousandfold (no percent): no hint.
  for (const std::vector<double>& x : {std::vector<double>{0, 0.05}, std::vector<double>{0, 0.15},
                                       std::vector<double>{0, 50.0}}) {
    OneCurve c = Make(x, {0, 0.02}, true);
    EXPECT_TRUE(run::ScaleHints(c.job, c.summary, c.curves).empty()) << x[1];
  }
  // Near the bounds of the ratio, 32 and 280 times the simulated 0.05:
  // still a hint.
  for (double reach : {1.6, 14.0}) {
    OneCurve c = Make({0, reach}, {0, 0.02}, true);
    EXPECT_EQ(run::ScaleHints(c.job, c.summary, c.curves).size(), 1u) << reach;
  }
  // A stress a hundred times the simulated one is no percent: the deviator
  // stress is left alone.
  OneCurve stress = Make({0, 0.05}, {0, 2.0}, true);
  stress.summary.tests[0].curves[0].column2 = 5;
  EXPECT_TRUE(run::ScaleHints(stress.job, stress.summary, stress.curves).empty());
  // A simulated curve that never moved gives no ratio.
  EXPECT_FALSE(run::RangeRatio({0, 5}, {0, 0}));
  EXPECT_FALSE(run::RangeRatio({}, {0, 1}));
  EXPECT_DOUBLE_EQ(*run::RangeRatio({0, -5}, {0, 0.05}), 100.0);
}

}  // namespace
}  // namespace soilcal::testing
