// Lab-test report. Compression is plotted positive (p′, ε1 and εv negated),
// as engineers draw these diagrams.
#include "report/labtest_report.hpp"

#include "input/curve_quantity.hpp"
#include "report/html_report.hpp"
#include "report/quantities.hpp"
#include "report/svg_plot.hpp"

namespace soilcal::report {

namespace {

constexpr int kMeanStress = 8, kDeviator = 9, kVolumetric = 6, kMajorStrain = 1;

Plot PathPlot(const labtest::Recording& rec, int nPoints, int xCode, int yCode,
              const std::string& title) {
  PlotSeries s{"simulated", {}, {}, SeriesStyle::kLine, "#1f5fbf", "simulated"};
  for (int k = 1; k <= nPoints; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    s.x.push_back(input::CurveQuantity(point, xCode));
    s.y.push_back(input::CurveQuantity(point, yCode));
  }
  Plot plot;
  plot.title = title;
  plot.xLabel = QuantityLabel(xCode);
  plot.yLabel = QuantityLabel(yCode);
  plot.series.push_back(std::move(s));
  return plot;
}

const char* kComponents[6] = {"xx", "yy", "zz", "xy", "yz", "zx"};

std::string ControlTable(const input::LabTest& test) {
  std::string out = "<table class=\"control\">\n<tr><th>Phase</th><th>Load steps</th><th>Time increment</th>";
  for (const char* c : kComponents) out += "<th>" + std::string(c) + "</th>";
  out += "</tr>\n";
  for (int p = 0; p < test.nPhases; ++p) {
    const auto i = static_cast<std::size_t>(p);
    out += "<tr><td>" + std::to_string(p + 1) + "</td><td>" +
           (i < test.loadSteps.size() ? std::to_string(test.loadSteps[i]) : "–") + "</td><td>" +
           (i < test.timeIncrement.size() ? ExactNumber(test.timeIncrement[i]) : "–") + "</td>";
    for (std::size_t c = 0; c < 6; ++c) {
      const bool known = i < test.phaseFlags.size() && i < test.prescribedStress.size() &&
                         i < test.prescribedStrain.size();
      if (!known) {
        out += "<td>–</td>";
        continue;
      }
      // Flag 1: the stress component is prescribed, else the strain.
      const bool stress = test.phaseFlags[i][c] == 1;
      const double value = stress ? test.prescribedStress[i][c] : test.prescribedStrain[i][c];
      out += std::string("<td>") + (stress ? "Δσ = " : "Δε = ") + ExactNumber(value) + "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</table>\n<p class=\"note\">Each component is prescribed in stress (Δσ) or in "
               "strain (Δε); the values are the totals over the phase, tension positive.</p>\n";
}

}  // namespace

std::string RenderLabTestReport(const input::LabTest& test, const labtest::Recording& rec,
                                int nPoints, int status, const std::string& title) {
  std::string body = "<h1>Laboratory test: " + XmlEscape(title) + "</h1>\n";
  body += "<p class=\"outcome " + std::string(status == 0 ? "ok" : "failed") + "\">Status " +
          std::to_string(status) + ", " + std::to_string(nPoints) + " recorded points, model " +
          std::to_string(test.modelNumber) + "</p>\n";
  body += "<h2>Curves</h2>\n<div class=\"curves\">\n";
  const Plot plots[3] = {
      PathPlot(rec, nPoints, -kMeanStress, kDeviator, "Stress path"),
      PathPlot(rec, nPoints, -kMajorStrain, kDeviator, "Deviator stress"),
      PathPlot(rec, nPoints, -kMajorStrain, -kVolumetric, "Volumetric strain"),
  };
  for (const Plot& plot : plots) body += "<figure>" + RenderPlot(plot) + "</figure>\n";
  body += "</div>\n<h2>Control of each phase</h2>\n" + ControlTable(test);
  return HtmlPage("Laboratory test " + title, body);
}

}  // namespace soilcal::report
