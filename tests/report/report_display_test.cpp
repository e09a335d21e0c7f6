// How the reports show what they show: quantities named for the test's type
// with the job's units, the plot chosen per type (an oedometer on a log
// axis), numbers with four significant digits, the verdict's warnings and
// headline.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <cmath>
#include <sstream>

#include "report/html_report.hpp"
#include "report/quantity_display.hpp"
#include "report/report_sections.hpp"
#include "report/summary.hpp"
#include "report/svg_plot.hpp"
#include "xml_tree.hpp"

namespace soilcal::testing {
namespace {

using input::TestKind;
using input::TestType;

const report::QuantityUnits kKpa{"kPa", "day"};

TEST(QuantityNames, FollowTheTestsDirectionsAndTheJobsUnits) {
  const TestType compression{TestKind::kTriaxialCompression};
  const TestType extension{TestKind::kTriaxialExtension};
  const TestType oedometer{TestKind::kOedometer};
  const TestType shear{TestKind::kDirectSimpleShear, 1, 3};
  TestType axialX{TestKind::kTriaxialCompression};
  axialX.axial = 0;
  TestType cycles{TestKind::kCyclicDirectSimpleShear, 1, 3};
  cycles.timeInCycles = true;
  const TestType cyclicInTime{TestKind::kCyclicTriaxial};
  struct Case {
    int code;
    TestType type;
    const char* label;
    double scale;
  };
  const Case cases[] = {
      {-14, compression, "axial strain ε1 [%]", 100.0},
      {-13, compression, "radial strain ε3 [%]", 100.0},
      {-13, axialX, "axial strain ε1 [%]", 100.0},
      {14, extension, "axial strain εa [%] (extension positive)", 100.0},
      {5, compression, "deviator stress q [kPa]", 1.0},
      {5, shear, "principal stress difference |σ′1 − σ′3| [kPa]", 1.0},
      {-6, compression, "volumetric strain εv [%]", 100.0},
      {-20, oedometer, "vertical effective stress σ′v [kPa]", 1.0},
      {19, oedometer, "horizontal effective stress σ′h [kPa] (tension positive)", 1.0},
      {22, shear, "shear stress τ [kPa]", 1.0},
      {16, shear, "shear strain γ [%]", 100.0},
      {-26, compression, "radius of Mohr's circle t = (σ′1 − σ′3)/2 [kPa]", 1.0},
      {10, compression, "time t [day]", 1.0},
      {10, cycles, "number of cycles N", 1.0},
      {10, cyclicInTime, "time t [day]", 1.0},
      {-9, compression, "deviator stress −q [kPa]", 1.0},
      {99, compression, "code 99", 1.0},
      {INT_MIN, compression, "code -2147483648", 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const report::AxisQuantity q = report::NameQuantity(c.code, c.type, kKpa);
    EXPECT_EQ(q.Label(), c.label);
    EXPECT_EQ(q.scale, c.scale);
  }
}

TEST(CurveView, CompressionCurvesPutTheStressOnALogAxis) {
  const TestType oedometer{TestKind::kOedometer};
  // Strain against stress in the file: drawn stress (x, log) against strain.
  report::CurveView v = report::ChooseCurveView(-14, -20, oedometer, kKpa);
  EXPECT_TRUE(v.swap);
  EXPECT_TRUE(v.logX);
  EXPECT_TRUE(v.reverseY);  // compression grows downwards
  EXPECT_EQ(v.x.Label(), "vertical effective stress σ′v [kPa]");
  EXPECT_EQ(v.y.Label(), "vertical strain εa [%]");
  // A stress signed tension positive is turned for the log axis.
  v = report::ChooseCurveView(20, -14, oedometer, kKpa);
  EXPECT_FALSE(v.swap);
  EXPECT_EQ(v.x.scale, -1.0);
  EXPECT_EQ(v.x.Label(), "vertical effective stress σ′v [kPa]");
  v = report::ChooseCurveView(-8, -6, TestType{TestKind::kIsotropicCompression}, kKpa);
  EXPECT_TRUE(v.logX);
  EXPECT_EQ(v.x.Label(), "mean effective stress p′ [kPa]");
  // Triaxial curves and a stress difference stay on linear axes as fitted.
  v = report::ChooseCurveView(-14, 5, TestType{TestKind::kTriaxialCompression}, kKpa);
  EXPECT_FALSE(v.logX || v.swap || v.reverseY);
  v = report::ChooseCurveView(-14, -26, oedometer, kKpa);
  EXPECT_FALSE(v.logX);
}

TEST(PlotAxes, LogTicksEncloseTheRangeInDecadesOrSteps) {
  EXPECT_EQ(report::LogTicks(100, 400), (std::vector<double>{100, 200, 300, 400}));
  EXPECT_EQ(report::LogTicks(50, 1000), (std::vector<double>{50, 100, 200, 500, 1000}));
  EXPECT_EQ(report::LogTicks(0.5, 5000), (std::vector<double>{0.1, 1, 10, 100, 1000, 10000}));
  EXPECT_TRUE(report::LogTicks(0.0, 10.0).empty());
}

// Pixel x of the circles of class `cls`, in drawing order.
std::vector<double> CircleX(const XmlNode& svg, const std::string& cls) {
  std::vector<double> out;
  for (const XmlNode* c : svg.FindAll("circle", cls)) out.push_back(std::stod(c->Attribute("cx")));
  return out;
}

TEST(PlotAxes, LogAxisPlacesDecadesEvenlyAndLeavesOutWhatItCannotShow) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  report::Plot plot;
  plot.logX = true;
  plot.reverseY = true;
  plot.series.push_back({"m", {-1.0, 10.0, 100.0, 1000.0}, {0.0, 1.0, 2.0, 3.0},
                         report::SeriesStyle::kMarkers, "#000000", "m"});
  std::string error;
  const auto svg = ParseXml(report::RenderPlot(plot), error);
  ASSERT_NE(svg, nullptr) << error;
  const std::vector<double> x = CircleX(*svg, "m");
  ASSERT_EQ(x.size(), 3u);  // x = -1 has no place on a log axis
  EXPECT_NEAR(x[1] - x[0], x[2] - x[1], 0.11);  // equal decades, to the 0.1 px of the text
  std::vector<double> y;
  for (const XmlNode* c : svg->FindAll("circle", "m")) y.push_back(std::stod(c->Attribute("cy")));
  EXPECT_LT(y[0], y[2]);  // the larger value lies lower
}

TEST(NumberText, FourSignificantDigitsWithoutNoise) {
  const std::pair<double, const char*> cases[] = {
      {25649.887930298893, "25650"}, {0.6361655131120307, "0.6362"}, {39.50648209548516, "39.51"},
      {30.000000000000004, "30"},    {-0.5, "-0.5"},                 {1.2346e-5, "1.235e-05"},
      {1e10, "1.000e+10"},           {0.0, "0"},                     {9999.7, "10000"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(report::ShortNumber(value), text) << value;
  EXPECT_EQ(report::SymbolHtml("s_u^A"), "s<sub>u</sub><sup>A</sup>");
  EXPECT_EQ(report::SymbolHtml("s_u,inc^A"), "s<sub>u,inc</sub><sup>A</sup>");
  EXPECT_EQ(report::SymbolHtml("Gur/s_u^A"), "Gur/s<sub>u</sub><sup>A</sup>");
  EXPECT_EQ(report::SymbolHtml("λ*"), "λ*");
  // In SVG text (the correlation map) as shifted spans.
  EXPECT_EQ(report::SymbolSvg("K_G^p"),
            "K<tspan baseline-shift=\"sub\" font-size=\"75%\">G</tspan>"
            "<tspan baseline-shift=\"super\" font-size=\"75%\">p</tspan>");
  EXPECT_EQ(report::SymbolSvg("φ < 30"), "φ &lt; 30");
}

report::ParameterSummary Phi(double lower, double upper, double best) {
  report::ParameterSummary p;
  p.slot = 3;
  p.name = "phi";
  p.lower = lower;
  p.upper = upper;
  p.start = 0.5;
  p.best = best;
  p.sensitivity = 100.0;
  p.display = report::ParameterDisplay{"φ", "friction angle", "°", true};
  return p;
}

std::vector<std::string> Kinds(const std::vector<report::Warning>& warnings) {
  std::vector<std::string> out;
  for (const auto& w : warnings) out.push_back(w.kind);
  return out;
}

TEST(Verdict, WarnsOfAWorseFitAShortSearchAndABoundInTheUnitsShown) {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.jobFolder = "/jobs/sand/";
  s.exitCode = 0;
  s.searchMode = "default";
  s.iterations = 4;
  s.start = report::PointSummary{24.7, 0.244};
  s.best = report::PointSummary{29.1, 0.318};
  // asin 0.7193 = 45.997°: within 1 % of the range below the upper bound 0.72.
  s.parameters = {Phi(0.4, 0.72, 0.7193)};
  const auto warnings = report::CollectWarnings(s, {});
  ASSERT_EQ(Kinds(warnings), (std::vector<std::string>{"worse_than_start", "short_search", "near_bound"}));
  EXPECT_NE(warnings[0].text.find("objective 0.318 against 0.244"), std::string::npos) << warnings[0].text;
  EXPECT_NE(warnings[1].text.find("soilcal --search=thorough /jobs/sand/OPTIM.TXT"), std::string::npos);
  // A TOML job runs in job.out/ beside its job file: the command names the
  // job file, and the hint is the job file's own key.
  report::Summary toml = s;
  toml.job = "sand.toml";
  toml.jobFolder = "/jobs/sand/sand.out/";
  const std::string short_ = report::CollectWarnings(toml, {}).at(1).text;
  EXPECT_NE(short_.find("soilcal --search=thorough /jobs/sand/sand.toml (or set search = "
                        "\"thorough\" in its [calibrate])"),
            std::string::npos)
      << short_;
  EXPECT_NE(warnings.at(2).text.find("φ (friction angle) = 46° lies within 1 % of its range from the "
                                  "upper bound 46.05°"),
            std::string::npos)
      << warnings.at(2).text;
  s.warnings = warnings;
  EXPECT_EQ(report::OutcomeText(s), "calibrated, with warnings (exit code 0)");

  // A better fit, a search that went on, the thorough search: no warning.
  s.best = report::PointSummary{6.0, 0.0065};
  s.iterations = 5;
  s.parameters = {Phi(0.4, 0.72, 0.62)};
  EXPECT_TRUE(report::CollectWarnings(s, {}).empty());
  s.iterations = 1;
  s.searchMode = "thorough";
  EXPECT_TRUE(report::CollectWarnings(s, {}).empty());
  s.warnings.clear();
  EXPECT_EQ(report::OutcomeText(s), "calibrated (exit code 0)");
  // A failed run has no verdict on its values.
  s.exitCode = 10;
  s.exitName = "CURVE_FILE_NOT_FOUND";
  s.best = report::PointSummary{29.1, 0.318};
  EXPECT_TRUE(report::CollectWarnings(s, {}).empty());
  EXPECT_EQ(report::OutcomeText(s), "not calibrated: CURVE_FILE_NOT_FOUND (exit code 10)");
}

// An aborted search may stop before its best point beats the start (92.9 %
// against 18.0 % was seen): that is said, and the outcome line of a stop
// after the search says what was finished.
TEST(Verdict, AnAbortBeforeAnyImprovementIsSaidAndALateStopNamesWhatIsMissing) {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.exitCode = 18;
  s.exitName = "USER_ABORT";
  s.searchMode = "default";
  s.start = report::PointSummary{18.0, 0.05};
  s.best = report::PointSummary{92.9, 0.9};
  const auto warnings = report::CollectWarnings(s, {});
  ASSERT_EQ(Kinds(warnings), (std::vector<std::string>{"worse_than_start"}));
  EXPECT_NE(warnings[0].text.find("stopped before it found a point better than the start values"),
            std::string::npos) << warnings[0].text;
  EXPECT_NE(warnings[0].text.find("92.9 % against 18 % at the start"), std::string::npos)
      << warnings[0].text;
  EXPECT_EQ(report::OutcomeText(s),
            "stopped before the end: the best point found so far (exit code 18, USER_ABORT)");
  // An improvement, however small: no warning.
  s.best = report::PointSummary{17.9, 0.049};
  EXPECT_TRUE(report::CollectWarnings(s, {}).empty());
  // Stopped in the uncertainty step: the search's values are final, and
  // judged as those of a finished search.
  s.stoppedAfterSearch = "the calibrated values are finished; the profiles are not";
  s.best = report::PointSummary{92.9, 0.9};
  const auto late = report::CollectWarnings(s, {});
  ASSERT_EQ(Kinds(late), (std::vector<std::string>{"worse_than_start"}));
  EXPECT_NE(late[0].text.find("the search missed the better region"), std::string::npos)
      << late[0].text;
  EXPECT_EQ(report::OutcomeText(s),
            "stopped after the search: the calibrated values are finished; the profiles are not "
            "(exit code 18, USER_ABORT)");
}

// A TOML job PATH/JOB.toml runs in PATH/JOB.out/: the short search names
// the job file to run again and the key that asks for the thorough search.
TEST(Verdict, AShortSearchOfATomlJobNamesItsJobFile) {
  report::Summary s;
  s.job = "sand.toml";
  s.jobFolder = "/jobs/sand.out/";
  s.exitCode = 0;
  s.searchMode = "default";
  s.iterations = 3;
  const auto warnings = report::CollectWarnings(s, {});
  ASSERT_EQ(Kinds(warnings), (std::vector<std::string>{"short_search"}));
  EXPECT_NE(warnings[0].text.find("soilcal --search=thorough /jobs/sand.toml (or set search = "
                                  "\"thorough\" in its [calibrate])"),
            std::string::npos)
      << warnings[0].text;
}

// An oedometer job of one two-phase curve: strain against stress, loaded
// from 100 to 400 and unloaded to 200.
report::Summary OedometerSummary(report::JobCurves& curves) {
  report::Summary s;
  s.job = "OPTIM.TXT";
  s.exitCode = 0;
  s.modelNumber = 105;
  s.modelName = "modified Cam-Clay";
  s.units = report::JobUnits{"kN", "m", "day"};
  report::TestSummary t;
  t.file = "OEDO1.VLT";
  t.header = "Oedometer on soft clay";
  t.material = "Soft clay";
  t.type = TestType{TestKind::kOedometer};
  t.loadSteps = {3, 2};
  report::CurveSummary c;
  c.file = "OED_EPS.TXT";
  c.column1 = -14;
  c.column2 = -20;
  c.nPoints = 4;
  c.segments = {3, 1};
  t.curves = {c};
  s.tests = {t};
  report::CurvePoints p;
  p.measured = {{0.0, 0.05, 0.1, 0.09}, {100, 200, 400, 200}};
  p.best = {{0.0, 0.02, 0.05, 0.1, 0.095, 0.09}, {100, 150, 250, 400, 300, 200}};
  curves = {{p}};
  return s;
}

TEST(CurveSection, AnOedometerIsDrawnAgainstLogStressWithItsOwnNames) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  report::JobCurves curves;
  const report::Summary s = OedometerSummary(curves);
  std::string error;
  const auto doc = ParseXml(report::RenderCalibrationReport(s, curves), error);
  ASSERT_NE(doc, nullptr) << error;
  const auto plots = doc->FindAll("svg", "plot");
  ASSERT_EQ(plots.size(), 1u);
  const XmlNode& plot = *plots[0];
  EXPECT_EQ(plot.FindAll("text", "title").at(0)->text, "OEDO1 · oedometer");
  EXPECT_EQ(plot.FindAll("text", "subtitle").at(0)->text, "Soft clay — OED_EPS.TXT");
  EXPECT_EQ(plot.FindAll("text", "xlabel").at(0)->text, "vertical effective stress σ′v [kPa]");
  EXPECT_EQ(plot.FindAll("text", "ylabel").at(0)->text, "vertical strain εa [%]");
  // Measured stresses 100, 200, 400, 200 on a log axis from 100 to 400:
  // 200 lies log(2)/log(4) = half-way, the two points at 200 together.
  const std::vector<double> x = CircleX(plot, "measured");
  ASSERT_EQ(x.size(), 4u);
  EXPECT_NEAR((x[1] - x[0]) / (x[2] - x[0]), 0.5, 1e-3);
  EXPECT_DOUBLE_EQ(x[3], x[1]);
  EXPECT_NE(doc->text.find("Material: Soft clay · oedometer · OEDO1.VLT"), std::string::npos);
  EXPECT_NE(doc->text.find("modified Cam-Clay (model 105)"), std::string::npos);
  EXPECT_NE(doc->text.find("force kN, length m, time day; stresses in kPa"), std::string::npos);
}

TEST(CurveSection, ACyclicTestShowsTheStressAtEachReversal) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  report::JobCurves curves;
  report::Summary s = OedometerSummary(curves);
  report::TestSummary& t = s.tests[0];
  t.type = TestType{TestKind::kCyclicDirectSimpleShear, 1, 3, false, 3};
  t.loadSteps = {2, 2, 2, 2};
  t.curves[0].column1 = 16;  // γ
  t.curves[0].column2 = 22;  // τ
  t.curves[0].nPoints = 8;
  t.curves[0].segments = {2, 2, 2, 2};
  curves[0][0].measured = {{0.01, 0.02, 0.0, -0.02, 0.0, 0.02, 0.0, -0.02},
                           {10, 20, 0, -19, 0, 18, 0, -17}};
  // Recorded point 1 is the initial state, then two steps per phase; the
  // second form is the curve as the objective compared it, with a gap
  // before each shifted phase (recorded points 4 and 7).
  const double gap = std::numeric_limits<double>::quiet_NaN();
  const report::CurveSeries plain{{0, 0.01, 0.02, 0, -0.02, 0, 0.02, 0, -0.02},
                                  {0, 11, 21, 0, -20, 0, 19, 0, -18}};
  const report::CurveSeries compared{{0, 0.01, 0.02, gap, 0, -0.02, 0, gap, 0.02, 0, -0.02},
                                     {0, 11, 21, gap, 0, -20, 0, gap, 19, 0, -18}};
  for (const report::CurveSeries* best : {&plain, &compared}) {
    SCOPED_TRACE(best == &plain ? "recorded points" : "as compared");
    curves[0][0].best = *best;
    std::string error;
    const auto doc = ParseXml(report::RenderCalibrationReport(s, curves), error);
    ASSERT_NE(doc, nullptr) << error;
    const auto plots = doc->FindAll("svg", "plot");
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0]->FindAll("text", "xlabel").at(0)->text, "shear strain γ [%]");
    EXPECT_EQ(plots[1]->FindAll("text", "xlabel").at(0)->text, "half-cycle N");
    EXPECT_EQ(plots[1]->FindAll("text", "ylabel").at(0)->text, "shear stress τ [kPa]");
    // One measured mark per half-cycle, at N = 1..4, evenly spaced.
    const std::vector<double> x = CircleX(*plots[1], "measured");
    ASSERT_EQ(x.size(), 4u);
    EXPECT_NEAR(x[2] - x[1], x[1] - x[0], 0.11);
    // The stress where each phase ends: measured 20, -19, 18, -17 (the last
    // point of each segment), calibrated 21, -20, 19, -18 (recorded points 3,
    // 5, 7, 9). Taking any other point breaks the alternation below.
    std::vector<double> measuredY;
    for (const XmlNode* c : plots[1]->FindAll("circle", "measured")) {
      measuredY.push_back(std::stod(c->Attribute("cy")));
    }
    std::vector<double> bestY;
    std::istringstream points(plots[1]->FindAll("polyline", "calibrated").at(0)->Attribute("points"));
    for (std::string pt; points >> pt;) bestY.push_back(std::stod(pt.substr(pt.find(',') + 1)));
    ASSERT_EQ(bestY.size(), 4u);
    for (const std::vector<double>* y : {&measuredY, &bestY}) {
      // Pixel y grows downwards: positive ends above the negative ones, each
      // pair of ends shrinking by one stress unit.
      EXPECT_LT((*y)[0], (*y)[2]);
      EXPECT_GT((*y)[1], (*y)[3]);
      EXPECT_LT((*y)[2], (*y)[3]);
    }
    EXPECT_LT(bestY[0], measuredY[0]);  // 21 above 20
  }
}

}  // namespace
}  // namespace soilcal::testing
