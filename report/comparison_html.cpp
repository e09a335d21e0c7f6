// The comparison report: the verdict, the ranking with the figures behind
// it, each test's and curve's error per model, each model's calibrated
// parameters with their intervals and flags, and the curves of all models
// over the measured points. One self-contained XHTML page, like the
// calibration report.
#include "report/comparison.hpp"
#include "report/comparison_sections.hpp"
#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"

namespace soilcal::report {
namespace {

std::string Cell(const std::string& html, bool isText = false) {
  return std::string(isText ? "<td class=\"text\">" : "<td>") + html + "</td>";
}

std::string Optional(const std::optional<double>& v, int digits) {
  return v ? ShortNumber(*v, digits) : "–";
}

std::string Key(std::size_t index) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"key\" width=\"20\" height=\"10\">"
         "<line x1=\"1\" y1=\"5\" x2=\"19\" y2=\"5\" stroke=\"" +
         ModelColour(index) + "\" stroke-width=\"2.5\"/></svg>";
}

std::string ReportLink(const ComparedModel& m) {
  if (!m.summary) return "";
  std::string folder = m.folder == "./" ? "" : m.folder;
  return " <a href=\"" + XmlEscape(folder + kReportFileName) + "\">report</a>";
}

std::string ModelNumber(const ComparedModel& m) {
  if (!m.summary || !m.summary->modelNumber) return "–";
  return std::to_string(*m.summary->modelNumber);
}

std::string Ranking(const Comparison& c) {
  std::string out =
      "<table class=\"ranking\">\n<tr><th>Rank</th><th class=\"text\">Model</th><th>Model number</th>"
      "<th>Free parameters k</th><th>Points m</th><th>Objective S</th><th>Mean relative error</th>"
      "<th>AIC</th><th>BIC</th><th>ΔBIC</th><th>Rank by objective</th></tr>\n";
  const ComparedModel& best = c.models.front();
  for (std::size_t i = 0; i < c.models.size(); ++i) {
    const ComparedModel& m = c.models[i];
    std::string name = Key(i) + " " + XmlEscape(m.name) + ReportLink(m);
    if (!m.note.empty()) name += "<br/><span class=\"note\">" + XmlEscape(m.note) + "</span>";
    const bool both = m.criteria && best.criteria;
    out += "<tr>" + Cell(std::to_string(m.rank)) + Cell(name, true) + Cell(ModelNumber(m)) +
           Cell(m.summary ? std::to_string(m.summary->parameters.size()) : "–") +
           Cell(m.fitted ? std::to_string(m.points) : "–") + Cell(Optional(m.objective, 4)) +
           Cell(m.meanError ? ShortNumber(*m.meanError) + " %" : "–") +
           Cell(m.criteria ? ShortNumber(m.criteria->aic, 5) : "–") +
           Cell(m.criteria ? "<b>" + ShortNumber(m.criteria->bic, 5) + "</b>" : "–") +
           Cell(both ? ShortNumber(m.criteria->bic - best.criteria->bic, 3) : "–") +
           Cell(m.fitted ? std::to_string(m.objectiveRank) : "–") + "</tr>\n";
  }
  out += "</table>\n";
  out += "<p class=\"note\">Ranked by BIC = m ln(S/m) + k ln m; AIC = m ln(S/m) + 2k. S is the "
         "minimised objective (the sum of the squared weighted relative deviations of the measured "
         "points), m the measured points compared and k the free parameters. Both are the "
         "Gaussian log-likelihood of the deviations with their variance estimated as S/m, "
         "charged for every free parameter; lower is better. Two models whose BIC differ by less "
         "than 2 cannot be told apart by these tests.</p>\n";
  return out;
}

std::string ErrorTable(const Comparison& c) {
  const ComparedModel* base = nullptr;
  for (const ComparedModel& m : c.models) {
    if (m.summary && !m.summary->tests.empty()) {
      base = &m;
      break;
    }
  }
  if (base == nullptr) return "<p>No model's run read the tests.</p>\n";
  std::string out = "<table class=\"errors\">\n<tr><th class=\"text\">Test</th><th class=\"text\">Curve</th>";
  for (std::size_t i = 0; i < c.models.size(); ++i) {
    out += "<th>" + Key(i) + " " + XmlEscape(c.models[i].name) + "</th>";
  }
  out += "</tr>\n";
  const auto row = [&](const std::string& test, const std::string& curve, auto errorOf, bool bold) {
    out += "<tr" + std::string(bold ? " class=\"total\"" : "") + ">" + Cell(XmlEscape(test), true) +
           Cell(XmlEscape(curve), true);
    for (const ComparedModel& m : c.models) out += Cell(PercentText(errorOf(m)));
    out += "</tr>\n";
  };
  const std::vector<TestSummary>& tests = base->summary->tests;
  for (std::size_t t = 0; t < tests.size(); ++t) {
    for (std::size_t k = 0; k < tests[t].curves.size(); ++k) {
      row(tests[t].file, CurveName(tests[t].curves[k]),
          [&](const ComparedModel& m) -> std::optional<double> {
            if (!m.summary || t >= m.summary->tests.size() ||
                k >= m.summary->tests[t].curves.size()) {
              return std::nullopt;
            }
            const auto& fit = m.summary->tests[t].curves[k].best;
            return fit ? std::optional<double>(fit->error) : std::nullopt;
          },
          false);
    }
    if (tests[t].curves.size() > 1) {
      row(tests[t].file, "the test",
          [&](const ComparedModel& m) -> std::optional<double> {
            if (!m.summary || t >= m.summary->tests.size()) return std::nullopt;
            return TestError(m.summary->tests[t]);
          },
          true);
    }
  }
  row("all tests", "mean relative error", [](const ComparedModel& m) { return m.meanError; }, true);
  out += "</table>\n<p class=\"note\">Mean relative deviation of the calibrated curve from the "
         "measured points; a test's error is the mean of its curves', the mean relative error "
         "the mean of the tests'.</p>\n";
  return out;
}

std::string IntervalText(const ShownParameter& p) {
  if (!p.interval95) return "–";
  return ShortNumber(p.interval95->first) + " to " + ShortNumber(p.interval95->second);
}

std::string ProfileText(const ShownParameter& p) {
  if (!p.profiles) return "–";
  return (p.profileLow ? ShortNumber(*p.profileLow) : std::string("not closed")) + " to " +
         (p.profileHigh ? ShortNumber(*p.profileHigh) : std::string("not closed"));
}

std::string RunFacts(const Summary& s) {
  std::string out = s.modelName.empty() ? "model" : s.modelName;
  if (s.modelNumber) out += " (model " + std::to_string(*s.modelNumber) + ")";
  if (!s.searchMode.empty()) {
    out += " · " + s.searchMode + " search, " + std::to_string(s.evaluations) + " evaluations";
  }
  if (s.uncertainty && s.uncertainty->evaluations > 0) {
    out += " and " + std::to_string(s.uncertainty->evaluations) + " for the uncertainty";
  }
  // The whole run with its parts; else the result file's times, which end
  // before the uncertainty step.
  if (s.runTimes) {
    out += " · wall time " + TimesText(*s.runTimes, false) + ", CPU time " +
           ShortNumber(s.runTimes->cpu, 3) + " s";
  } else {
    if (s.wallMs) out += " · to the result: wall time " + ShortNumber(*s.wallMs / 1000.0, 3) + " s";
    if (s.cpuSeconds) out += ", CPU time " + ShortNumber(*s.cpuSeconds, 3) + " s";
  }
  return out;
}

std::string ParameterTables(const Comparison& c) {
  std::string out;
  for (std::size_t i = 0; i < c.models.size(); ++i) {
    const ComparedModel& m = c.models[i];
    out += "<section class=\"model\"><h3>" + Key(i) + " " + std::to_string(m.rank) + ". " +
           XmlEscape(m.name) + "</h3>\n";
    if (!m.summary) {
      out += "<p class=\"testinfo\">" + XmlEscape(m.note) + "</p></section>\n";
      continue;
    }
    out += "<p class=\"testinfo\">" + XmlEscape(RunFacts(*m.summary)) + " · folder " +
           XmlEscape(m.folder) + ReportLink(m) + "</p>\n";
    out += "<table class=\"parameters\">\n<tr><th class=\"text\">Parameter</th><th class=\"text\">Unit</th>"
           "<th>Calibrated</th><th>95 % interval (linearised)</th><th>95 % interval (profile)</th>"
           "<th class=\"text\">Flags</th></tr>\n";
    for (const ShownParameter& p : ShownParameters(*m.summary)) {
      std::string name = "<span class=\"symbol\">" + SymbolHtml(p.symbol) + "</span>";
      if (!p.words.empty()) name += " " + XmlEscape(p.words);
      std::string flags;
      for (const std::string& f : p.flags) flags += (flags.empty() ? "" : ", ") + f;
      out += "<tr>" + Cell(name, true) + Cell(XmlEscape(p.unit.empty() ? "–" : p.unit), true) +
             Cell(p.best ? "<b>" + ShortNumber(*p.best) + "</b>" : "–") +
             Cell(XmlEscape(IntervalText(p))) + Cell(XmlEscape(ProfileText(p))) +
             Cell(XmlEscape(flags), true) + "</tr>\n";
    }
    out += "</table></section>\n";
  }
  return out + "<p class=\"note\">Angles in degrees. Each model's calibration report explains "
               "its flags in words.</p>\n";
}

}  // namespace

std::string RenderComparisonReport(const Comparison& c) {
  std::string body = "<h1>Model comparison: " + XmlEscape(c.title) + "</h1>\n";
  body += "<p class=\"verdict\">" + XmlEscape(c.verdict) + "</p>\n";
  if (c.runTimes) {
    body += "<p class=\"testinfo\">The comparison took " + XmlEscape(TimesText(*c.runTimes, false)) +
            " of wall time and " + ShortNumber(c.runTimes->cpu, 3) + " s of CPU time.</p>\n";
  }
  if (c.models.empty()) return HtmlPage("Model comparison " + c.title, body);
  body += "<h2>Ranking</h2>\n" + Ranking(c);
  body += "<h2>Errors per test and curve</h2>\n" + ErrorTable(c);
  body += "<h2>Calibrated parameters</h2>\n" + ParameterTables(c);
  body += "<h2>Curves</h2>\n" + ComparisonFigures(c);
  return HtmlPage("Model comparison " + c.title, body);
}

}  // namespace soilcal::report
