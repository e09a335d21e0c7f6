// The parameter table of the calibration report: each free parameter under
// its symbol and unit from the model's table, values with four significant
// digits in the unit a person gives (degrees for the sine slots), and the
// result file's key with the value it stores beside.
#include <algorithm>
#include <cstdio>

#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"
#include "report/uncertainty_html.hpp"

namespace soilcal::report {

namespace {

std::string Cell(const std::string& html, bool isText = false) {
  return std::string(isText ? "<td class=\"text\">" : "<td>") + html + "</td>";
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

// A value in the unit shown; a sine slot that holds no sine shows the
// stored value, marked.
std::string Shown(const ParameterSummary& p, const std::optional<double>& stored) {
  if (!stored) return "–";
  const std::optional<double> v = ShownValue(p, *stored);
  return v ? ShortNumber(*v) : ShortNumber(*stored) + "*";
}

std::string NameCell(const ParameterSummary& p) {
  if (!p.display) return XmlEscape(p.name);
  std::string out = "<span class=\"symbol\">" + SymbolHtml(p.display->symbol) + "</span>";
  if (!p.display->words.empty()) {
    out += ' ';
    out += XmlEscape(p.display->words);
  }
  return out;
}

// The key and the value the result file holds, with the slot.
std::string StoredCell(const ParameterSummary& p) {
  if (p.jobUnits) {
    std::string out = "slot " + std::to_string(p.slot);
    if (p.slotBest) out += " = " + ShortNumber(*p.slotBest);
    return out;
  }
  std::string out = XmlEscape(p.name);
  if (p.best) out += " = " + ShortNumber(*p.best);
  return out + " <span class=\"note\">slot " + std::to_string(p.slot) + "</span>";
}

bool AnyNotSine(const Summary& s) {
  for (const ParameterSummary& p : s.parameters) {
    for (const std::optional<double> v : {std::optional<double>(p.lower), p.start, p.best,
                                          std::optional<double>(p.upper)}) {
      if (v && !ShownValue(p, *v)) return true;
    }
  }
  return false;
}

// A symbol with "_" subscripts and "^" superscripts, each part through
// `plain` or `script` (true for a superscript).
template <typename Plain, typename Script>
std::string MarkSymbol(const std::string& symbol, Plain plain, Script script) {
  std::string out;
  std::size_t i = 0;
  auto isEnd = [](char c) { return c == '/' || c == ' ' || c == ')' || c == '_' || c == '^'; };
  while (i < symbol.size()) {
    const char c = symbol[i];
    if ((c == '_' || c == '^') && i + 1 < symbol.size()) {
      std::size_t end = i + 1;
      while (end < symbol.size() && !isEnd(symbol[end])) ++end;
      out += script(symbol.substr(i + 1, end - i - 1), c == '^');
      i = end;
      continue;
    }
    std::size_t end = i + 1;
    while (end < symbol.size() && symbol[end] != '_' && symbol[end] != '^') ++end;
    out += plain(symbol.substr(i, end - i));
    i = end;
  }
  return out;
}

}  // namespace

std::string SymbolHtml(const std::string& symbol) {
  return MarkSymbol(
      symbol, [](const std::string& text) { return XmlEscape(text); },
      [](const std::string& text, bool super) {
        const char* tag = super ? "sup" : "sub";
        return std::string("<") + tag + ">" + XmlEscape(text) + "</" + tag + ">";
      });
}

std::string SymbolSvg(const std::string& symbol) {
  return MarkSymbol(
      symbol, [](const std::string& text) { return XmlEscape(text); },
      [](const std::string& text, bool super) {
        return std::string("<tspan baseline-shift=\"") + (super ? "super" : "sub") +
               "\" font-size=\"75%\">" + XmlEscape(text) + "</tspan>";
      });
}

std::string PercentText(const std::optional<double>& v) { return v ? ShortNumber(*v) + " %" : "–"; }

std::string ParameterSection(const Summary& s) {
  std::string out =
      "<table class=\"parameters\">\n<tr><th class=\"text\">Parameter</th><th class=\"text\">Unit</th>"
      "<th>Lower</th><th>Start</th><th>Calibrated</th><th>Upper</th>"
      "<th class=\"text\">Within the bounds</th><th colspan=\"2\">Relative sensitivity</th>"
      "<th class=\"text\">Result file</th></tr>\n";
  for (const ParameterSummary& p : s.parameters) {
    const std::string unit = p.display ? p.display->unit : "";
    out += "<tr>" + Cell(NameCell(p), true) + Cell(XmlEscape(unit.empty() ? "–" : unit), true) +
           Cell(Shown(p, p.lower)) + Cell(Shown(p, p.start)) +
           Cell(p.best ? "<b>" + Shown(p, p.best) + "</b>" : "–") + Cell(Shown(p, p.upper)) +
           Cell(RangeBar(p), true) + Cell(p.sensitivity ? ShortNumber(*p.sensitivity) : "–") +
           Cell(SensitivityBar(p.sensitivity), true) + Cell(StoredCell(p), true) + "</tr>\n";
  }
  out += "</table>\n<p class=\"note\">Values with four significant digits; angles in degrees, "
         "the result file stores their sines. Full precision: Optimization_result.txt and "
         "calibration_summary.json. Bar: lower to upper bound; hollow circle: start value; "
         "blue mark: calibrated value. A sensitivity of −1 means the search was stopped.</p>\n";
  std::string rules;
  for (const ParameterSummary& p : s.parameters) {
    if (p.startRule.empty()) continue;
    rules += "<li>" + NameCell(p) + " = " + Shown(p, p.start) + ": " + XmlEscape(p.startRule) +
             "</li>\n";
  }
  if (!rules.empty()) {
    out += "<p class=\"note\">Start values read off the measured tests:</p>\n<ul class=\"note\">\n" +
           rules + "</ul>\n";
  }
  if (AnyNotSine(s)) {
    out += "<p class=\"note\">* a value outside −1..1 in a slot that holds a sine: no angle has "
           "it (degrees given for a sine?).</p>\n";
  }
  return out;
}

}  // namespace soilcal::report
