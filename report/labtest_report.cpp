// Lab-test report: the plots engineers draw for the test's type, from the
// recorded points. Compression is plotted positive; the deviator is signed
// (axial minus radial stress, compression positive), so an unloading path
// that crosses the isotropic axis shows as such and not as a "V".
#include "report/labtest_report.hpp"

#include <functional>

#include "input/curve_quantity.hpp"
#include "input/test_kind.hpp"
#include "models/parameter_table.hpp"
#include "report/html_report.hpp"
#include "report/summary.hpp"
#include "report/svg_plot.hpp"

namespace soilcal::report {

namespace {

using input::TestKind;
using input::TestType;

// A quantity of a recorded point with its axis label.
struct Axis {
  std::string label;
  std::function<double(const input::RecordedPoint&)> value;
};

struct Axes {
  Axis meanStress, deviator, axialStrain, volumetric, verticalStress, shearStress, shearStrain,
      time;
};

Axes MakeAxes(const TestType& t, const input::MaterialInput& m) {
  const std::string stress = " [" + models::params::StressUnitText(m.forceUnit, m.lengthUnit) + "]";
  const std::string time = " [" + m.timeUnit + "]";
  const int a = t.axial;
  const int shear = t.shear >= 0 ? t.shear : 3;
  const bool compression = t.kind == TestKind::kTriaxialCompression;
  Axes x;
  x.meanStress = {"mean effective stress p′" + stress, [](const input::RecordedPoint& p) {
                    return -(p.stress[0] + p.stress[1] + p.stress[2]) / 3.0;
                  }};
  x.deviator = {"deviator stress q = σ′a − σ′r" + stress, [a](const input::RecordedPoint& p) {
                  const double radial = (p.stress[(a + 1) % 3] + p.stress[(a + 2) % 3]) / 2.0;
                  return radial - p.stress[a];
                }};
  // An oedometer sheet calls it the vertical strain.
  const std::string strainWords =
      t.kind == TestKind::kOedometer ? "vertical strain " : "axial strain ";
  x.axialStrain = {strainWords + (compression ? "ε1" : "εa") + " [%]",
                   [a](const input::RecordedPoint& p) { return -100.0 * p.strain[a]; }};
  x.volumetric = {"volumetric strain εv [%]", [](const input::RecordedPoint& p) {
                    return -100.0 * (p.strain[0] + p.strain[1] + p.strain[2]);
                  }};
  x.verticalStress = {"vertical effective stress σ′v" + stress,
                      [a](const input::RecordedPoint& p) { return -p.stress[a]; }};
  x.shearStress = {"shear stress τ" + stress,
                   [shear](const input::RecordedPoint& p) { return p.stress[shear]; }};
  x.shearStrain = {"shear strain γ [%]",
                   [shear](const input::RecordedPoint& p) { return 100.0 * p.strain[shear]; }};
  x.time = {"time t" + time, [](const input::RecordedPoint& p) { return p.time; }};
  return x;
}

Plot PathPlot(const labtest::Recording& rec, int nPoints, const Axis& x, const Axis& y,
              const std::string& title) {
  PlotSeries s{"simulated", {}, {}, SeriesStyle::kLine, "#1f5fbf", "simulated"};
  for (int k = 1; k <= nPoints; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    s.x.push_back(x.value(point));
    s.y.push_back(y.value(point));
  }
  Plot plot;
  plot.title = title;
  plot.xLabel = x.label;
  plot.yLabel = y.label;
  plot.series.push_back(std::move(s));
  return plot;
}

// Plots of a test whose directions are unknown: principal and invariant
// quantities as the curve files name them.
std::vector<Plot> GeneralPlots(const labtest::Recording& rec, int n, const input::MaterialInput& m) {
  const std::string stress = " [" + models::params::StressUnitText(m.forceUnit, m.lengthUnit) + "]";
  auto code = [](int c, double scale) {
    return [c, scale](const input::RecordedPoint& p) { return scale * input::CurveQuantity(p, c); };
  };
  const Axis p{"mean effective stress p′" + stress, code(-8, 1.0)};
  const Axis q{"deviator stress q" + stress, code(9, 1.0)};
  const Axis e1{"major principal strain ε1 [%]", code(-1, 100.0)};
  const Axis ev{"volumetric strain εv [%]", code(-6, 100.0)};
  return {PathPlot(rec, n, p, q, "Stress path"), PathPlot(rec, n, e1, q, "Deviator stress"),
          PathPlot(rec, n, e1, ev, "Volumetric strain")};
}

std::vector<Plot> PlotsOf(const input::LabTest& test, const TestType& t, const labtest::Recording& rec,
                          int n) {
  const Axes x = MakeAxes(t, test.material);
  switch (t.kind) {
    case TestKind::kTriaxialCompression:
    case TestKind::kTriaxialExtension:
      return {PathPlot(rec, n, x.axialStrain, x.deviator, "Deviator stress"),
              PathPlot(rec, n, x.axialStrain, x.volumetric, "Volumetric strain"),
              PathPlot(rec, n, x.meanStress, x.deviator, "Stress path")};
    case TestKind::kOedometer: {
      Plot compression = PathPlot(rec, n, x.verticalStress, x.axialStrain, "Compression curve");
      compression.logX = true;
      compression.reverseY = true;
      return {compression, PathPlot(rec, n, x.meanStress, x.deviator, "Stress path")};
    }
    case TestKind::kIsotropicCompression: {
      Plot compression = PathPlot(rec, n, x.meanStress, x.volumetric, "Compression curve");
      compression.logX = true;
      compression.reverseY = true;
      return {compression};
    }
    case TestKind::kDirectSimpleShear:
      return {PathPlot(rec, n, x.shearStrain, x.shearStress, "Shear stress"),
              PathPlot(rec, n, x.verticalStress, x.shearStress, "Stress path")};
    case TestKind::kCyclicDirectSimpleShear:
      return {PathPlot(rec, n, x.shearStrain, x.shearStress, "Shear stress"),
              PathPlot(rec, n, x.time, x.shearStress, "Shear stress in time"),
              PathPlot(rec, n, x.verticalStress, x.shearStress, "Stress path")};
    case TestKind::kCyclicTriaxial:
      return {PathPlot(rec, n, x.axialStrain, x.deviator, "Deviator stress"),
              PathPlot(rec, n, x.time, x.deviator, "Deviator stress in time"),
              PathPlot(rec, n, x.meanStress, x.deviator, "Stress path")};
    case TestKind::kGeneral: break;
  }
  return GeneralPlots(rec, n, test.material);
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
  const TestType type = input::RecogniseTestType(test);
  const input::MaterialInput& m = test.material;
  const std::string heading = m.header.empty() ? title : m.header;
  std::string body = "<h1>Laboratory test: " + XmlEscape(heading) + "</h1>\n";
  std::string info = title + " · " + input::TestTypeText(type);
  if (!m.name.empty()) info += " · material: " + m.name;
  const std::string model = ModelName(test.modelNumber, m.name);
  info += " · " + (model.empty() ? "model " : model + " (model ") + std::to_string(test.modelNumber) +
          (model.empty() ? "" : ")");
  body += "<p class=\"testinfo\">" + XmlEscape(info) + "</p>\n";
  body += "<p class=\"outcome " + std::string(status == 0 ? "ok" : "failed") + "\">Status " +
          std::to_string(status) + ", " + std::to_string(nPoints) + " recorded points</p>\n";
  body += "<h2>Curves</h2>\n<div class=\"curves\">\n";
  for (Plot& plot : PlotsOf(test, type, rec, nPoints)) {
    plot.subtitle = heading;
    body += "<figure>" + RenderPlot(plot) + "</figure>\n";
  }
  body += "</div>\n<h2>Control of each phase</h2>\n" + ControlTable(test);
  return HtmlPage("Laboratory test " + title, body);
}

}  // namespace soilcal::report
