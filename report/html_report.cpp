// The calibration report: outcome, the run's facts, warnings, parameters,
// errors per curve and the curves of each test.
#include "report/html_report.hpp"

#include "models/parameter_table.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"
#include "report/uncertainty_html.hpp"

namespace soilcal::report {

namespace {

std::string Cell(const std::string& text, bool isText = false) {
  return std::string(isText ? "<td class=\"text\">" : "<td>") + text + "</td>";
}

std::string Outcome(const Summary& s) {
  const bool ok = s.exitCode == 0;
  const char* cls = !ok ? "failed" : s.warnings.empty() ? "ok" : "warn";
  return std::string("<p class=\"outcome ") + cls + "\">Outcome: " + XmlEscape(OutcomeText(s)) +
         "</p>\n";
}

std::string ModelText(const Summary& s) {
  if (!s.modelNumber) return "–";
  const std::string number = "model " + std::to_string(*s.modelNumber);
  return s.modelName.empty() ? number : s.modelName + " (" + number + ")";
}

std::string UnitsText(const Summary& s) {
  if (!s.units) return "–";
  const JobUnits& u = *s.units;
  return "force " + u.force + ", length " + u.length + ", time " + u.time + "; stresses in " +
         models::params::StressUnitText(u.force, u.length) + ", strains in %";
}

std::string SearchText(const Summary& s) {
  if (s.searchMode.empty()) return "–";
  std::string out = s.searchMode + " search";
  if (s.intensity) out += ", intensity " + std::to_string(*s.intensity);
  if (s.tolerance) out += ", tolerance " + ExactNumber(*s.tolerance);
  out += "; " + std::to_string(s.iterations) + " iterations, " + std::to_string(s.evaluations) +
         " evaluations";
  if (s.maxIterations) out += " (at most " + std::to_string(*s.maxIterations) + " iterations)";
  if (s.maxEvaluations) out += " (at most " + std::to_string(*s.maxEvaluations) + " evaluations)";
  if (!s.stopReason.empty()) out += "; stopped: " + s.stopReason;
  if (s.continuations > 0) {
    out += "; went on " + std::string(s.continuations == 1 ? "once" : std::to_string(s.continuations) + " times") +
           " from a better point its profiles met (" + std::to_string(s.continuationEvaluations) +
           " evaluations)";
  }
  return out;
}

std::string RunFacts(const Summary& s) {
  std::string out = "<table class=\"facts\">\n";
  auto row = [&](const std::string& key, const std::string& value) {
    out += "<tr><th class=\"text\">" + key + "</th>" + Cell(XmlEscape(value), true) + "</tr>\n";
  };
  row("Job folder", s.jobFolder.empty() ? "." : s.jobFolder);
  row("Model", ModelText(s));
  row("Units", UnitsText(s));
  row("Search", SearchText(s));
  // The whole run; the result file's times end where its body is written.
  const auto time = [&](bool cpu) {
    std::string text = s.runTimes ? TimesText(*s.runTimes, cpu) : "–";
    if (!cpu && s.wallMs) text += "; result file: " + std::to_string(*s.wallMs) + " ms";
    if (cpu && s.cpuSeconds) text += "; result file: " + ShortNumber(*s.cpuSeconds) + " s";
    return text;
  };
  row("Wall time", time(false));
  row("CPU time", time(true));
  if (!s.programVersion.empty()) row("Program", "soilcal " + s.programVersion);
  out += "</table>\n";
  out += "<table>\n<tr><th></th><th>Mean relative error</th><th>Objective</th></tr>\n";
  auto point = [&](const char* name, const std::optional<PointSummary>& p) {
    out += "<tr><th class=\"text\">" + std::string(name) + "</th>" +
           Cell(p ? ShortNumber(p->meanError) + " %" : "–") +
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

std::string ErrorTable(const Summary& s) {
  std::string out = "<table class=\"errors\">\n<tr><th class=\"text\">Test</th><th class=\"text\">Curve</th>"
                    "<th>Measured points</th><th>Error at start</th><th>Error calibrated</th>"
                    "<th>Points in range</th></tr>\n";
  for (const TestSummary& t : s.tests) {
    for (const CurveSummary& c : t.curves) {
      const auto& fit = c.best ? c.best : c.start;
      out += "<tr>" + Cell(XmlEscape(t.file), true) + Cell(XmlEscape(CurveName(c)), true) +
             Cell(std::to_string(c.nPoints)) +
             Cell(PercentText(c.start ? std::optional<double>(c.start->error) : std::nullopt)) +
             Cell(PercentText(c.best ? std::optional<double>(c.best->error) : std::nullopt)) +
             Cell(fit ? std::to_string(fit->nValid) : "–") + "</tr>\n";
    }
  }
  return out + "</table>\n";
}

}  // namespace

std::string CalibrationReportBody(const Summary& s, const JobCurves& curves) {
  std::string body = "<h1>Calibration report: " + XmlEscape(s.job) + "</h1>\n";
  body += Outcome(s);
  body += RunFacts(s);
  body += "<h2>Warnings</h2>\n" + Warnings(s);
  body += "<h2>Parameters</h2>\n" + ParameterSection(s);
  body += UncertaintySection(s);
  body += "<h2>Errors per curve</h2>\n" + ErrorTable(s);
  body += "<h2>Curves</h2>\n" + CurveSection(s, curves);
  return body;
}

std::string RenderCalibrationReport(const Summary& s, const JobCurves& curves) {
  return HtmlPage("Calibration report " + s.job, CalibrationReportBody(s, curves));
}

}  // namespace soilcal::report
