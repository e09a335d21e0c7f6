// The curves of the calibration report, test by test. Each measured curve is
// drawn with its own quantities, named and scaled for the test's type: a
// triaxial test's q and εv against ε1, an oedometer's strain against log σ′v,
// simple shear's τ against γ. A cyclic test adds the stress at the end of
// each half-cycle against its number.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "models/parameter_table.hpp"
#include "report/html_report.hpp"
#include "report/quantity_display.hpp"
#include "report/report_sections.hpp"
#include "report/stress_path.hpp"
#include "report/svg_plot.hpp"
#include "report/test_heading.hpp"

namespace soilcal::report {

namespace {

using input::TestKind;

PlotSeries StartStyle() { return {"start values", {}, {}, SeriesStyle::kDashedLine, kStartColour, "start"}; }
PlotSeries BestStyle() { return {"calibrated", {}, {}, SeriesStyle::kLine, kBestColour, "calibrated"}; }
PlotSeries MeasuredStyle() { return {"measured", {}, {}, SeriesStyle::kMarkers, kMeasuredColour, "measured"}; }

std::string Title(const TestSummary& t, const QuantityUnits& units) { return TestHeading(t, units); }

std::string Subtitle(const TestSummary& t, const std::string& what) {
  return t.material.empty() ? what : t.material + " — " + what;
}

std::string ErrorCaption(const CurveSummary& c) {
  return "Error " + PercentText(c.start ? std::optional<double>(c.start->error) : std::nullopt) +
         " at the start values, " +
         PercentText(c.best ? std::optional<double>(c.best->error) : std::nullopt) + " calibrated.";
}

std::string Figure(const Plot& plot, const std::string& caption) {
  return "<figure>" + RenderPlot(plot) + "<figcaption>" + XmlEscape(caption) + "</figcaption></figure>\n";
}

std::string CurveFigure(const TestSummary& t, const CurveSummary& c, const CurvePoints* points,
                        const QuantityUnits& units) {
  if (c.nPoints == 0) {
    return "<figure><figcaption>" + XmlEscape(CurveName(c)) +
           ": no measured points (the run ended before the file was read, or it holds none)"
           "</figcaption></figure>\n";
  }
  const CurveView v = ChooseCurveView(c.column1, c.column2, t.type, units);
  Plot plot;
  plot.title = Title(t, units);
  plot.subtitle = Subtitle(t, CurveName(c));
  plot.xLabel = v.x.Label();
  plot.yLabel = v.y.Label();
  plot.logX = v.logX;
  plot.reverseY = v.reverseY;
  if (points != nullptr) {
    plot.series.push_back(ViewedSeries(points->start, v, StartStyle()));
    plot.series.push_back(ViewedSeries(points->best, v, BestStyle()));
    plot.series.push_back(ViewedSeries(points->measured, v, MeasuredStyle()));
  }
  std::string caption = ErrorCaption(c);
  if (t.type.kind == TestKind::kOedometer && v.logX) {
    caption += " In an oedometer the vertical strain is the volumetric strain.";
  }
  return Figure(plot, caption);
}

// The value of a column at the end of each phase: the last measured point
// of each segment, the last recorded point of each phase. A simulated curve
// as the objective compared it carries a gap (NaN) before each phase it
// shifted; the gaps are no recorded points.
std::vector<double> PhaseEnds(const std::vector<double>& values, const std::vector<int>& sizes,
                              bool recorded) {
  std::vector<double> points;
  points.reserve(values.size());
  for (const double v : values) {
    if (!recorded || !std::isnan(v)) points.push_back(v);
  }
  std::vector<double> out;
  std::size_t end = recorded ? 1 : 0;  // recorded point 1 is the initial state
  for (int size : sizes) {
    end += static_cast<std::size_t>(std::max(size, 0));
    const bool have = size > 0 && end >= 1 && end - 1 < points.size();
    out.push_back(have ? points[end - 1] : std::numeric_limits<double>::quiet_NaN());
  }
  return out;
}

// A cyclic test: the curve's stress at the end of each half-cycle.
std::string HalfCycleFigure(const TestSummary& t, const CurveSummary& c, const CurvePoints& points,
                            const QuantityUnits& units) {
  const CurveView v = ChooseCurveView(c.column1, c.column2, t.type, units);
  if (v.y.kind != QuantityKind::kStress || c.segments.size() != t.loadSteps.size() ||
      t.loadSteps.size() < 2) {
    return "";
  }
  auto column = [&](const CurveSeries& s) { return v.swap ? s.x : s.y; };
  Plot plot;
  plot.title = Title(t, units);
  plot.subtitle = Subtitle(t, CurveName(c) + ", end of each half-cycle");
  plot.xLabel = "half-cycle N";
  plot.yLabel = v.y.Label();
  auto add = [&](const std::vector<double>& ends, PlotSeries style) {
    for (std::size_t p = 0; p < ends.size(); ++p) {
      style.x.push_back(static_cast<double>(p + 1));
      style.y.push_back(v.y.scale * ends[p]);
    }
    plot.series.push_back(std::move(style));
  };
  add(PhaseEnds(column(points.start), t.loadSteps, true), StartStyle());
  add(PhaseEnds(column(points.best), t.loadSteps, true), BestStyle());
  add(PhaseEnds(column(points.measured), c.segments, false), MeasuredStyle());
  return Figure(plot, "Reversal points: the curve's value where each loading phase ends "
                      "(τ, q or Δu at the turn of the load).");
}

// The test's own table: file, type, material, drainage and the stresses
// it starts from.
std::string TestInfo(const TestSummary& t, const QuantityUnits& units) {
  std::string out = "<p class=\"testinfo\">";
  if (!t.material.empty()) out += "Material: " + XmlEscape(t.material) + " · ";
  out += XmlEscape(input::TestTypeText(t.type)) + " · " + XmlEscape(t.file) + "</p>\n";
  if (!t.sources.empty()) {
    out += "<ul class=\"sources\">";
    for (const std::string& line : t.sources) out += "<li>" + XmlEscape(line) + "</li>";
    out += "</ul>\n";
  }
  if (!t.initialStress) return out;
  out += "<table class=\"facts testfacts\">\n";
  auto row = [&](const std::string& key, const std::string& value) {
    out += "<tr><th class=\"text\">" + XmlEscape(key) + "</th><td class=\"text\">" +
           XmlEscape(value) + "</td></tr>\n";
  };
  row("Drainage", t.undrained ? "undrained (pore pressures build up)" : "drained");
  const std::string unit = units.stress.empty() ? "" : " " + units.stress;
  for (const NamedStress& n : InitialStresses(t)) {
    std::string words = n.words;
    words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
    row(words + " " + n.symbol, ShortNumber(n.value) + unit);
  }
  const std::array<double, 6>& s = *t.initialStress;
  std::string all;
  for (int c = 0; c < 6; ++c) {
    all += (c > 0 ? ", " : "") + std::string("σ′") +
           std::string(input::ComponentName(c)) + " " + ShortNumber(s[static_cast<std::size_t>(c)] + 0.0);
  }
  row("Initial stresses (tension positive)", all + unit);
  if (t.ownStart) {
    // The specimen's own start, which the simulation of this test uses in
    // place of the material's.
    const SpecimenStart& own = *t.ownStart;
    const bool porosity = own.given == "n0";
    row(porosity ? "Porosity of this specimen n0" : "Void ratio of this specimen e0",
        porosity ? ShortNumber(own.porosity) + " (e0 = " + ShortNumber(own.voidRatio) + ")"
                 : ShortNumber(own.voidRatio) + " (n0 = " + ShortNumber(own.porosity) + ")");
  }
  return out + "</table>\n";
}

}  // namespace

PlotSeries ViewedSeries(const CurveSeries& points, const CurveView& v, PlotSeries style) {
  const std::size_t n = std::min(points.x.size(), points.y.size());
  for (std::size_t i = 0; i < n; ++i) {
    const double first = v.swap ? points.y[i] : points.x[i];
    const double second = v.swap ? points.x[i] : points.y[i];
    style.x.push_back(v.x.scale * first);
    style.y.push_back(v.y.scale * second);
  }
  return style;
}

QuantityUnits UnitsOf(const std::optional<JobUnits>& units) {
  if (!units) return {};
  return {models::params::StressUnitText(units->force, units->length), units->time};
}

CurveView ViewOfCurve(const Summary& s, const TestSummary& t, const CurveSummary& c) {
  return ChooseCurveView(c.column1, c.column2, t.type, UnitsOf(s.units));
}

std::string CurveSection(const Summary& s, const JobCurves& curves) {
  const QuantityUnits units = UnitsOf(s.units);
  std::string out;
  for (std::size_t t = 0; t < s.tests.size(); ++t) {
    const TestSummary& test = s.tests[t];
    out += "<section class=\"test\"><h3>" + XmlEscape(Title(test, units)) + "</h3>\n" +
           TestInfo(test, units) + "<div class=\"curves\">\n";
    if (t < curves.size()) out += StressPathFigure(s, test, curves[t], units);
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const bool have = t < curves.size() && c < curves[t].size();
      const CurvePoints* points = have ? &curves[t][c] : nullptr;
      out += CurveFigure(test, test.curves[c], points, units);
      if (input::IsCyclic(test.type.kind) && points != nullptr && test.curves[c].nPoints > 0) {
        out += HalfCycleFigure(test, test.curves[c], *points, units);
      }
    }
    out += "</div></section>\n";
  }
  return "<div class=\"tests\">\n" + out + "</div>\n";
}

}  // namespace soilcal::report
