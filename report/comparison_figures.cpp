// One figure per measured curve: the measured points and every model's
// calibrated curve over them, drawn with the curve's own quantities as the
// calibration report draws them (q and εv against ε1, an oedometer's strain
// against log σ′v, ...).
#include <algorithm>
#include <array>

#include "report/comparison.hpp"
#include "report/comparison_sections.hpp"
#include "report/html_report.hpp"
#include "report/quantity_display.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"
#include "report/test_heading.hpp"

namespace soilcal::report {
namespace {

// Colours that stay apart on screen and in print; the measured points are
// black. Beyond them the colours come again, dashed.
constexpr std::array<const char*, 8> kModelColours{"#1f5fbf", "#c0392b", "#2e8b57", "#b35900",
                                                   "#7b3fa0", "#00838f", "#8d6e63", "#d81b60"};

// The model whose summary describes the tests: the first that read them.
const ComparedModel* Describing(const Comparison& c) {
  for (const ComparedModel& m : c.models) {
    if (m.summary && !m.summary->tests.empty() && !m.curves.empty()) return &m;
  }
  return nullptr;
}

const CurvePoints* PointsOf(const ComparedModel& m, std::size_t t, std::size_t c) {
  if (t >= m.curves.size() || c >= m.curves[t].size()) return nullptr;
  return &m.curves[t][c];
}

const CurveSummary* CurveOf(const ComparedModel& m, std::size_t t, std::size_t c) {
  if (!m.summary || t >= m.summary->tests.size() || c >= m.summary->tests[t].curves.size()) {
    return nullptr;
  }
  return &m.summary->tests[t].curves[c];
}

std::string Caption(const Comparison& comparison, std::size_t t, std::size_t c) {
  std::string out = "Error of the calibrated curve:";
  for (std::size_t i = 0; i < comparison.models.size(); ++i) {
    const ComparedModel& m = comparison.models[i];
    const CurveSummary* curve = CurveOf(m, t, c);
    out += std::string(i > 0 ? "," : "") + " " + m.name + " " +
           PercentText(curve && curve->best ? std::optional<double>(curve->best->error)
                                            : std::nullopt);
  }
  return out + ".";
}

}  // namespace

std::string ModelColour(std::size_t index) { return kModelColours[index % kModelColours.size()]; }

std::string ComparisonFigures(const Comparison& comparison) {
  const ComparedModel* base = Describing(comparison);
  if (base == nullptr) return "<p>No model's run read the tests: there are no curves to show.</p>\n";
  const Summary& s = *base->summary;
  const QuantityUnits units = UnitsOf(s.units);
  // All figures side by side: each names its test and curve.
  std::string out = "<div class=\"curves\">\n";
  for (std::size_t t = 0; t < s.tests.size(); ++t) {
    const TestSummary& test = s.tests[t];
    const std::string title = TestHeading(test, units);
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const CurveSummary& curve = test.curves[c];
      const CurvePoints* measured = PointsOf(*base, t, c);
      if (curve.nPoints == 0 || measured == nullptr) continue;
      const CurveView v = ChooseCurveView(curve.column1, curve.column2, test.type, units);
      Plot plot;
      plot.title = title;
      plot.subtitle = (test.material.empty() ? "" : test.material + " · ") +
                      // A TOML job's label names the measured file; a native
                      // curve file is named with its test file.
                      (curve.label.empty() ? test.file + " · " : "") + CurveName(curve);
      plot.xLabel = v.x.Label();
      plot.yLabel = v.y.Label();
      plot.logX = v.logX;
      plot.reverseY = v.reverseY;
      // The measured points first: the models' lines stay visible over a
      // densely measured curve.
      plot.series.push_back(ViewedSeries(
          measured->measured, v,
          {"measured", {}, {}, SeriesStyle::kMarkers, kMeasuredColour, "measured"}));
      for (std::size_t i = 0; i < comparison.models.size(); ++i) {
        const ComparedModel& m = comparison.models[i];
        const CurvePoints* points = PointsOf(m, t, c);
        if (points == nullptr) continue;
        const SeriesStyle style =
            i < kModelColours.size() ? SeriesStyle::kLine : SeriesStyle::kDashedLine;
        plot.series.push_back(
            ViewedSeries(points->best, v, {m.name, {}, {}, style, ModelColour(i), "model"}));
      }
      // As wide as the plot: the caption wraps rather than widening the figure.
      out += "<figure style=\"width: " + std::to_string(plot.width + 2) + "px\">" + RenderPlot(plot) + "<figcaption>" + XmlEscape(Caption(comparison, t, c)) +
             "</figcaption></figure>\n";
    }
  }
  return out + "</div>\n";
}

}  // namespace soilcal::report
