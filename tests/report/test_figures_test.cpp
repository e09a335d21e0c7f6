// Figures drawn as a laboratory draws each test: the effective stress path of
// an undrained triaxial test with its critical-state line, figures headed by
// the test, the excess pore pressure by its name, long measured series drawn
// as a thin line with thinned markers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "report/html_report.hpp"
#include "report/quantity_display.hpp"
#include "report/report_sections.hpp"
#include "report/stress_path.hpp"
#include "report/summary.hpp"
#include "report/svg_plot.hpp"
#include "report/test_heading.hpp"
#include "xml_tree.hpp"

namespace soilcal::testing {
namespace {

using input::TestKind;
using input::TestType;

const report::QuantityUnits kKpa{"kPa", "day"};

// Critical-state M of triaxial compression: 6 sin φ / (3 − sin φ). At 30°
// sin φ = 1/2 and M = 3/2.5 = 1.2; at 90° sin φ = 1 and M = 3.
TEST(StressPath, CriticalStateSlopeFollowsFromTheFrictionAngle) {
  EXPECT_NEAR(report::CriticalStateM(30.0), 1.2, 1e-14);
  EXPECT_NEAR(report::CriticalStateM(90.0), 3.0, 1e-14);
  const double s = std::sin(38.0 * std::numbers::pi / 180.0);
  EXPECT_NEAR(report::CriticalStateM(38.0), 6.0 * s / (3.0 - s), 1e-14);
}

// At constant cell pressure total p grows by q/3; p′ loses the excess pore
// pressure: an elastic undrained path (Δu = Δq/3) stays at p′0, a
// K0-consolidated start (q0 = 60) counts only the growth of q.
TEST(StressPath, MeanEffectiveStressFromDeviatorAndExcessPorePressure) {
  const report::StressPath elastic =
      report::PathFromDeviatorAndPorePressure({0, 30, 60, 90}, {0, 10, 20, 30}, 100.0, 0.0);
  EXPECT_EQ(elastic.p, (std::vector<double>{100, 100, 100, 100}));
  EXPECT_EQ(elastic.q, (std::vector<double>{0, 30, 60, 90}));
  const report::StressPath k0 =
      report::PathFromDeviatorAndPorePressure({60, 90}, {0, 25}, 140.0, 60.0);
  EXPECT_EQ(k0.p, (std::vector<double>{140, 140 + 10 - 25}));
  // Two lists of different length: only the common points.
  EXPECT_EQ(report::PathFromDeviatorAndPorePressure({0, 3, 6}, {0, 1}, 50.0, 0.0).p.size(), 2u);
}

report::TestSummary UndrainedTriaxial() {
  report::TestSummary t;
  t.file = "CU100.VLT";
  t.header = "the job's title";
  t.material = "Kaolin";
  t.type = TestType{TestKind::kTriaxialCompression};
  t.initialStress = std::array<double, 6>{-100, -100, -100, 0, 0, 0};
  t.undrained = true;
  report::CurveSummary q;
  q.file = "Q.TXT";
  q.column1 = -14;  // axial strain, compression positive
  q.column2 = 5;    // |σ′1 − σ′3|
  q.nPoints = 4;
  report::CurveSummary u = q;
  u.file = "DU.TXT";
  u.column2 = -7;  // −pw, the excess pore pressure
  t.curves = {q, u};
  return t;
}

// A CU test at σ′3 = 100 kPa whose measured Δu is q/3 (elastic, p′ constant)
// and whose simulated Δu is 0 (a drained-looking path p′ = 100 + q/3): the
// figure puts the measured markers on one vertical and the calibrated line
// on a slope of 3, and the critical-state line q = 1.2 p′ of φ = 30°.
TEST(StressPath, AnUndrainedTriaxialTestGetsItsEffectiveStressPath) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  report::Summary s;
  s.units = report::JobUnits{"kN", "m", "day"};
  s.criticalState = report::CriticalStateLine{report::CriticalStateM(30.0), 30.0, true};
  const report::TestSummary t = UndrainedTriaxial();
  std::vector<report::CurvePoints> points(2);
  const std::vector<double> strain{0.0, 0.01, 0.02, 0.03};
  points[0].measured = {strain, {0, 30, 60, 90}};
  points[1].measured = {strain, {0, 10, 20, 30}};
  points[0].best = {strain, {0, 30, 60, 90}};
  points[1].best = {strain, {0, 0, 0, 0}};
  const std::string figure = report::StressPathFigure(s, t, points, kKpa);
  std::string error;
  const auto doc = ParseXml("<div>" + figure + "</div>", error);
  ASSERT_NE(doc, nullptr) << error;
  const XmlNode& plot = *doc->FindAll("svg", "plot").at(0);
  EXPECT_EQ(plot.FindAll("text", "title").at(0)->text,
            "CU100 · triaxial compression · σ′3 = 100 kPa · undrained");
  EXPECT_EQ(plot.FindAll("text", "xlabel").at(0)->text, "mean effective stress p′ [kPa]");
  EXPECT_EQ(plot.FindAll("text", "ylabel").at(0)->text, "deviator stress q [kPa]");
  std::vector<double> cx, cy;
  for (const XmlNode* c : plot.FindAll("circle", "measured")) {
    cx.push_back(std::stod(c->Attribute("cx")));
    cy.push_back(std::stod(c->Attribute("cy")));
  }
  ASSERT_EQ(cx.size(), 4u);
  for (double x : cx) EXPECT_NEAR(x, cx[0], 0.11) << "p′ stays at 100 kPa";
  EXPECT_GT(cy[0], cy[3]);  // q grows upwards

  // Slopes in pixels: the calibrated path dq/dp′ = 3, the critical-state
  // line 1.2, in the ratio 2.5 whatever the axes' scales.
  auto slope = [&](const std::string& cls) {
    std::istringstream in(plot.FindAll("polyline", cls).at(0)->Attribute("points"));
    double x0, y0, x1, y1;
    char comma;
    in >> x0 >> comma >> y0;
    while (in >> x1 >> comma >> y1) {
    }
    return (y0 - y1) / (x1 - x0);
  };
  EXPECT_NEAR(slope("calibrated") / slope("critical-state"), 3.0 / 1.2, 0.01);
  EXPECT_NE(figure.find("M = 6 sin φ/(3 − sin φ) = 1.2 of φ = 30° (calibrated)"), std::string::npos);
}

// Only an undrained triaxial compression test with a deviator and a pore
// pressure curve against the same strain gets the path.
TEST(StressPath, OtherTestsGetNone) {
  report::Summary s;
  std::vector<report::CurvePoints> points(2);
  report::TestSummary drained = UndrainedTriaxial();
  drained.undrained = false;
  EXPECT_EQ(report::StressPathFigure(s, drained, points, kKpa), "");
  report::TestSummary oedometer = UndrainedTriaxial();
  oedometer.type = TestType{TestKind::kOedometer};
  EXPECT_EQ(report::StressPathFigure(s, oedometer, points, kKpa), "");
  report::TestSummary otherStrain = UndrainedTriaxial();
  otherStrain.curves[1].column1 = -6;  // Δu against εv: no common abscissa
  EXPECT_EQ(report::StressPathFigure(s, otherStrain, points, kKpa), "");
  report::TestSummary noPore = UndrainedTriaxial();
  noPore.curves.pop_back();
  EXPECT_EQ(report::StressPathFigure(s, noPore, points, kKpa), "");
}

TEST(TestHeading, NamesTheTestItsStartAndItsDrainage) {
  report::TestSummary t = UndrainedTriaxial();
  EXPECT_EQ(report::TestHeading(t, kKpa), "CU100 · triaxial compression · σ′3 = 100 kPa · undrained");
  // K0-consolidated: the axial stress too.
  t.initialStress = std::array<double, 6>{-50, -100, -50, 0, 0, 0};
  t.undrained = false;
  EXPECT_EQ(report::TestHeading(t, kKpa),
            "CU100 · triaxial compression · σ′3 = 50 kPa, σ′a0 = 100 kPa · drained");
  report::TestSummary oedometer;
  oedometer.file = "OEDO.VLT";
  oedometer.type = TestType{TestKind::kOedometer};
  oedometer.initialStress = std::array<double, 6>{-12.5, -25, -12.5, 0, 0, 0};
  EXPECT_EQ(report::TestHeading(oedometer, kKpa),
            "OEDO · oedometer · σ′v0 = 25 kPa, σ′h0 = 12.5 kPa · drained");
  // Before the file was read: neither stresses nor a guessed drainage.
  oedometer.initialStress.reset();
  EXPECT_EQ(report::TestHeading(oedometer, kKpa), "OEDO · oedometer");
}

TEST(QuantityNames, PorePressureIsTheExcessPorePressure) {
  const TestType compression{TestKind::kTriaxialCompression};
  EXPECT_EQ(report::NameQuantity(-7, compression, kKpa).Label(), "excess pore pressure Δu [kPa]");
  EXPECT_EQ(report::NameQuantity(7, compression, kKpa).Label(), "excess pore pressure −Δu [kPa]");
  EXPECT_EQ(report::NameQuantity(-14, TestType{TestKind::kOedometer}, kKpa).Label(),
            "vertical strain εa [%]");
}

// 1600 logger readings: a thin line through all of them and about forty
// markers, the first and the last among them; sixty points keep a marker
// each and no line.
TEST(PlotMarkers, ALongMeasuredSeriesIsAThinLineWithThinnedMarkers) {
  if (!XmlParserAvailable()) GTEST_SKIP() << "built without an XML parser";
  auto render = [](std::size_t n) {
    report::Plot plot;
    report::PlotSeries s{"measured", {}, {}, report::SeriesStyle::kMarkers, "#111111", "measured"};
    for (std::size_t i = 0; i < n; ++i) {
      s.x.push_back(static_cast<double>(i));
      s.y.push_back(std::sqrt(static_cast<double>(i)));
    }
    plot.series.push_back(s);
    std::string error;
    auto svg = ParseXml(report::RenderPlot(plot), error);
    EXPECT_NE(svg, nullptr) << error;
    return svg;
  };
  const auto many = render(1600);
  const auto circles = many->FindAll("circle", "measured");
  EXPECT_GE(circles.size(), 30u);
  EXPECT_LE(circles.size(), report::kThinnedMarkers + 1);
  const auto lines = many->FindAll("polyline", "measured-line");
  ASSERT_EQ(lines.size(), 1u);
  std::istringstream in(lines[0]->Attribute("points"));
  std::size_t pairs = 0;
  for (std::string pair; in >> pair;) ++pairs;
  EXPECT_EQ(pairs, 1600u);  // every point is drawn, every point counts
  EXPECT_EQ(lines[0]->Attribute("stroke-width"), "0.8");
  const double lastLineX = std::stod(lines[0]->Attribute("points").substr(
      lines[0]->Attribute("points").rfind(' ') + 1));
  EXPECT_NEAR(std::stod(circles.back()->Attribute("cx")), lastLineX, 0.11);

  const auto few = render(report::kMarkerLimit);
  EXPECT_EQ(few->FindAll("circle", "measured").size(), report::kMarkerLimit);
  EXPECT_TRUE(few->FindAll("polyline", "measured-line").empty());
  EXPECT_EQ(report::MarkerStride(1600), 40u);
  EXPECT_EQ(report::MarkerStride(61), 2u);
}

}  // namespace
}  // namespace soilcal::testing
