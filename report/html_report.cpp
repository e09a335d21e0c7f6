// The calibration report: outcome, warnings, parameters, errors per curve
// and one plot per measured curve.
#include "report/html_report.hpp"

#include <algorithm>
#include <cstdio>

#include "report/quantities.hpp"
#include "report/svg_plot.hpp"
#include "report/uncertainty_html.hpp"

namespace soilcal::report {

namespace {

constexpr const char* kStartColour = "#8a8a8a";
constexpr const char* kBestColour = "#1f5fbf";
constexpr const char* kMeasuredColour = "#111111";

std::string Cell(const std::string& text, bool isText = false) {
  return std::string(isText ? "<td class=\"text\">" : "<td>") + text + "</td>";
}

std::string Percent(const std::optional<double>& v) {
  return v ? ShortNumber(*v, 4) + " %" : "–";
}

std::string Outcome(const Summary& s) {
  std::string out = "<p class=\"outcome ";
  if (!s.exitCode) {
    out += "failed\">Ended by a kernel error: " + XmlEscape(s.kernelError) +
           " (the result file is empty)</p>\n";
    return out;
  }
  const int code = *s.exitCode;
  out += code == 0 ? "ok\">" : "failed\">";
  out += "Exit code " + std::to_string(code) + " — " +
         (code == 0 ? std::string("success") : XmlEscape(s.exitName)) + "</p>\n";
  return out;
}

std::string RunFacts(const Summary& s) {
  std::string out = "<table>\n";
  auto row = [&](const std::string& key, const std::string& value) {
    out += "<tr><th class=\"text\">" + key + "</th>" + Cell(value) + "</tr>\n";
  };
  row("Wall time", s.wallMs ? std::to_string(*s.wallMs) + " ms" : "–");
  row("CPU time", s.cpuSeconds ? ShortNumber(*s.cpuSeconds, 4) + " s" : "–");
  row("Model number", std::to_string(s.modelNumber));
  row("Search intensity", std::to_string(s.intensity));
  row("Convergence tolerance", ExactNumber(s.tolerance));
  row("Objective evaluations", std::to_string(s.evaluations));
  row("Iterations", std::to_string(s.iterations));
  out += "</table>\n";
  out += "<table>\n<tr><th></th><th>Mean relative error</th><th>Objective</th></tr>\n";
  auto point = [&](const char* name, const std::optional<PointSummary>& p) {
    out += "<tr><th class=\"text\">" + std::string(name) + "</th>" +
           Cell(p ? ShortNumber(p->meanError, 4) + " %" : "–") +
           Cell(p ? ShortNumber(p->objective, 6) : "–") + "</tr>\n";
  };
  point("Start values", s.start);
  point("Calibrated values", s.best);
  out += "</table>\n<p class=\"note\">The search keeps the point of least objective (mean squared "
         "relative deviation); the mean relative error ranks points differently.</p>\n";
  return out;
}

std::string Warnings(const Summary& s) {
  if (s.warnings.empty()) return "<p>No warnings.</p>\n";
  std::string out = "<ul class=\"warnings\">\n";
  for (const Warning& w : s.warnings) out += "<li>" + XmlEscape(w.text) + "</li>\n";
  return out + "</ul>\n";
}

// Bounds as a bar, the start value as a hollow mark, the calibrated value
// as a filled one.
std::string RangeBar(const ParameterSummary& p) {
  constexpr double kWidth = 180.0, kPad = 6.0;
  const double range = p.upper - p.lower;
  auto at = [&](double v) {
    const double f = range > 0.0 ? std::clamp((v - p.lower) / range, 0.0, 1.0) : 0.5;
    char b[16];
    std::snprintf(b, sizeof b, "%.1f", kPad + f * kWidth);
    return std::string(b);
  };
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"range\" width=\"192\" height=\"18\">";
  out += "<rect x=\"6\" y=\"7\" width=\"180\" height=\"4\" fill=\"#cccccc\"/>";
  out += IntervalOnBar(p, kPad, kWidth);
  if (p.start) {
    out += "<circle cx=\"" + at(*p.start) + "\" cy=\"9\" r=\"4.5\" fill=\"#ffffff\" stroke=\"" +
           std::string(kStartColour) + "\" stroke-width=\"1.5\"/>";
  }
  if (p.best) {
    out += "<rect class=\"calibrated\" x=\"" + at(*p.best) + "\" y=\"2\" width=\"3\" height=\"14\" fill=\"" +
           std::string(kBestColour) + "\" transform=\"translate(-1.5 0)\"/>";
  }
  return out + "</svg>";
}

std::string SensitivityBar(const std::optional<double>& s) {
  if (!s || *s < 0.0) return "";
  char width[16];
  std::snprintf(width, sizeof width, "%.1f", std::clamp(*s, 0.0, 100.0));
  return std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"sensitivity\" width=\"100\" height=\"12\">") +
         "<rect x=\"0\" y=\"1\" width=\"100\" height=\"10\" fill=\"#eeeeee\"/>" +
         "<rect x=\"0\" y=\"1\" width=\"" + width + "\" height=\"10\" fill=\"" + kBestColour + "\"/></svg>";
}

std::string Parameters(const Summary& s) {
  std::string out = "<table class=\"parameters\">\n<tr><th class=\"text\">Parameter</th><th>Slot</th>"
                    "<th>Lower</th><th>Start</th><th>Calibrated</th><th>Upper</th>"
                    "<th class=\"text\">Within the bounds</th><th colspan=\"2\">Relative sensitivity</th></tr>\n";
  for (const ParameterSummary& p : s.parameters) {
    out += "<tr>" + Cell(XmlEscape(p.name), true) + Cell(std::to_string(p.slot)) +
           Cell(ExactNumber(p.lower)) + Cell(p.start ? ExactNumber(*p.start) : "–") +
           Cell(p.best ? "<b>" + ExactNumber(*p.best) + "</b>" : "–") + Cell(ExactNumber(p.upper)) +
           Cell(RangeBar(p), true) + Cell(p.sensitivity ? ExactNumber(*p.sensitivity) : "–") +
           Cell(SensitivityBar(p.sensitivity), true) + "</tr>\n";
  }
  out += "</table>\n<p class=\"note\">Bar: lower to upper bound; hollow circle: start value; "
         "blue mark: calibrated value. A sensitivity of −1 means the search was aborted.</p>\n";
  return out;
}

std::string ErrorTable(const Summary& s) {
  std::string out = "<table class=\"errors\">\n<tr><th class=\"text\">Test</th><th class=\"text\">Curve</th>"
                    "<th>Measured points</th><th>Error at start</th><th>Error calibrated</th>"
                    "<th>Points in range</th></tr>\n";
  for (const TestSummary& t : s.tests) {
    for (const CurveSummary& c : t.curves) {
      const auto& fit = c.best ? c.best : c.start;
      out += "<tr>" + Cell(XmlEscape(t.file), true) + Cell(XmlEscape(c.file), true) +
             Cell(std::to_string(c.nPoints)) +
             Cell(Percent(c.start ? std::optional<double>(c.start->error) : std::nullopt)) +
             Cell(Percent(c.best ? std::optional<double>(c.best->error) : std::nullopt)) +
             Cell(fit ? std::to_string(fit->nValid) : "–") + "</tr>\n";
    }
  }
  return out + "</table>\n";
}

std::string CurvePlot(const CurveSummary& c, const CurvePoints* points) {
  if (c.nPoints == 0) {
    return "<figure><figcaption>" + XmlEscape(c.file) +
           ": no measured points (the run ended before the file was read, or it holds none)"
           "</figcaption></figure>\n";
  }
  Plot plot;
  plot.title = c.file;
  plot.xLabel = QuantityLabel(c.column1);
  plot.yLabel = QuantityLabel(c.column2);
  if (points != nullptr) {
    plot.series.push_back({"start values", points->start.x, points->start.y, SeriesStyle::kDashedLine,
                           kStartColour, "start"});
    plot.series.push_back({"calibrated", points->best.x, points->best.y, SeriesStyle::kLine,
                           kBestColour, "calibrated"});
    plot.series.push_back({"measured", points->measured.x, points->measured.y, SeriesStyle::kMarkers,
                           kMeasuredColour, "measured"});
  }
  std::string out = "<figure>" + RenderPlot(plot) + "<figcaption>";
  out += "Error " + Percent(c.start ? std::optional<double>(c.start->error) : std::nullopt) +
         " at the start values, " +
         Percent(c.best ? std::optional<double>(c.best->error) : std::nullopt) + " calibrated";
  return out + "</figcaption></figure>\n";
}

std::string Curves(const Summary& s, const JobCurves& curves) {
  std::string out;
  for (std::size_t t = 0; t < s.tests.size(); ++t) {
    out += "<section class=\"test\"><h3>" + XmlEscape(s.tests[t].file) + "</h3>\n<div class=\"curves\">\n";
    for (std::size_t c = 0; c < s.tests[t].curves.size(); ++c) {
      const bool have = t < curves.size() && c < curves[t].size();
      out += CurvePlot(s.tests[t].curves[c], have ? &curves[t][c] : nullptr);
    }
    out += "</div></section>\n";
  }
  return "<div class=\"tests\">\n" + out + "</div>\n";
}

}  // namespace

std::string RenderCalibrationReport(const Summary& s, const JobCurves& curves) {
  std::string body = "<h1>Calibration report: " + XmlEscape(s.job) + "</h1>\n";
  body += Outcome(s);
  body += RunFacts(s);
  body += "<h2>Warnings</h2>\n" + Warnings(s);
  body += "<h2>Parameters</h2>\n" + Parameters(s);
  body += UncertaintySection(s);
  body += "<h2>Errors per curve</h2>\n" + ErrorTable(s);
  body += "<h2>Curves</h2>\n" + Curves(s, curves);
  return HtmlPage("Calibration report " + s.job, body);
}

}  // namespace soilcal::report
