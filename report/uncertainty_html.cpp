// The uncertainty section of the calibration report: values in the
// engineer's forms (degrees for angles, a few significant digits), a heat
// map of the correlations and the flags in words.
#include "report/uncertainty_html.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"
#include "report/uncertainty_text.hpp"
#include "optimisation/uncertainty.hpp"

namespace soilcal::report {
namespace {

constexpr const char* kLinearColour = "#1f5fbf";
constexpr const char* kProfileColour = "#b35900";

std::string Fixed(double v, int decimals) {
  char b[32];
  std::snprintf(b, sizeof b, "%.*f", decimals, v);
  // A small negative value rounded to zero is zero, not "-0.00".
  std::string text = b;
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string Cell(const std::string& text, bool isText = false) {
  return std::string(isText ? "<td class=\"text\">" : "<td>") + text + "</td>";
}

// The standard error as shown: for an angle stored as its sine, through the
// slope of the arcsine at the calibrated value.
std::string StandardError(const ParameterDisplay& d, double stored, double error) {
  if (!d.sine) return "± " + Significant(error, 2) + (d.unit.empty() ? "" : " " + d.unit);
  // Beyond a sine of 1 the slope says nothing: the angle is not determined.
  if (std::abs(stored) + error >= 1.0) return "not determined";
  const double c = std::sqrt(1.0 - stored * stored);
  return "± " + Significant(error / c * 180.0 / std::numbers::pi, 2) + "°";
}

std::string LinearText(const ParameterSummary& p, const ParameterDisplay& d,
                       const std::pair<double, double>& interval) {
  if (interval.first <= p.lower && interval.second >= p.upper) return "beyond both bounds";
  return DisplayValue(d, interval.first) + " to " + DisplayValue(d, interval.second);
}

std::string ProfileText(const ParameterDisplay& d, const ProfileSummary& p) {
  if (!p.low && !p.high) return "not closed on either side";
  const std::string low = p.low ? DisplayValue(d, *p.low) : "not closed";
  const std::string high = p.high ? DisplayValue(d, *p.high) : "not closed";
  return low + " to " + high;
}

std::string Table(const Summary& s, const UncertaintySummary& u) {
  const bool profiles = u.profileThreshold.has_value();
  std::string out = "<table class=\"uncertainty\">\n<tr><th class=\"text\">Parameter</th>"
                    "<th>Calibrated</th><th>Standard error</th><th>95 % interval (linearised)</th>";
  if (profiles) out += "<th>95 % interval (profile)</th>";
  out += "<th class=\"text\">Flags</th></tr>\n";
  for (const ParameterSummary& p : s.parameters) {
    const ParameterDisplay d = DisplayOf(p, s.modelNumber, u);
    const ParameterUncertaintySummary* pu = p.uncertainty ? &*p.uncertainty : nullptr;
    std::string flags;
    if (pu) {
      for (const UncertaintyFlagSummary& f : pu->flags) flags += (flags.empty() ? "" : ", ") + f.kind;
    }
    out += "<tr>" + Cell("<span class=\"symbol\">" + SymbolHtml(d.symbol) + "</span>", true) +
           Cell(p.best ? XmlEscape(DisplayValue(d, *p.best, 4)) : "–") +
           Cell(pu && pu->standardError && p.best
                    ? XmlEscape(StandardError(d, *p.best, *pu->standardError))
                    : "not determined") +
           Cell(pu && pu->interval95 ? XmlEscape(LinearText(p, d, *pu->interval95)) : "–");
    if (profiles) {
      out += Cell(pu && pu->profile ? XmlEscape(ProfileText(d, *pu->profile)) : "–");
    }
    out += Cell(XmlEscape(flags), true) + "</tr>\n";
  }
  return out + "</table>\n";
}

// Blue for negative, red for positive correlations, white at 0.
std::string CellColour(double rho) {
  const double a = std::clamp(std::abs(rho), 0.0, 1.0);
  const int r = rho >= 0.0 ? 255 - static_cast<int>(a * (255 - 192)) : 255 - static_cast<int>(a * (255 - 31));
  const int g = rho >= 0.0 ? 255 - static_cast<int>(a * (255 - 57)) : 255 - static_cast<int>(a * (255 - 95));
  const int b = rho >= 0.0 ? 255 - static_cast<int>(a * (255 - 43)) : 255 - static_cast<int>(a * (255 - 191));
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", r, g, b);
  return text;
}

std::string HeatMap(const Summary& s, const UncertaintySummary& u) {
  const int n = static_cast<int>(u.correlation.size());
  if (n < 2) return "";
  constexpr int kCell = 52, kLabel = 84, kTop = 24;
  const int width = kLabel + n * kCell + 4, height = kTop + n * kCell + 4;
  std::string out = "<figure><svg xmlns=\"http://www.w3.org/2000/svg\" class=\"correlation\" width=\"" +
                    std::to_string(width) + "\" height=\"" + std::to_string(height) + "\">";
  for (int j = 0; j < n; ++j) {
    const std::string symbol =
        j < static_cast<int>(s.parameters.size())
            ? DisplayOf(s.parameters[static_cast<std::size_t>(j)], s.modelNumber, u).symbol
            : u.order[static_cast<std::size_t>(j)];
    const int centre = kLabel + j * kCell + kCell / 2;
    const int middle = kTop + j * kCell + kCell / 2;
    out += "<text x=\"" + std::to_string(kLabel - 8) + "\" y=\"" + std::to_string(middle + 5) +
           "\" text-anchor=\"end\" font-size=\"13\">" + SymbolSvg(symbol) + "</text>";
    out += "<text x=\"" + std::to_string(centre) + "\" y=\"" + std::to_string(kTop - 8) +
           "\" text-anchor=\"middle\" font-size=\"13\">" + SymbolSvg(symbol) + "</text>";
  }
  for (int j = 0; j < n; ++j) {
    for (int k = 0; k < n; ++k) {
      const auto& v = u.correlation[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
      const int x = kLabel + k * kCell, y = kTop + j * kCell;
      out += "<rect class=\"rho\" x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
             "\" width=\"" + std::to_string(kCell - 2) + "\" height=\"" + std::to_string(kCell - 2) +
             "\" fill=\"" + (v ? CellColour(*v) : std::string("#dddddd")) + "\"/>";
      const bool dark = v && std::abs(*v) > 0.6;
      out += "<text x=\"" + std::to_string(x + kCell / 2 - 1) + "\" y=\"" +
             std::to_string(y + kCell / 2 + 4) + "\" text-anchor=\"middle\" font-size=\"12\" fill=\"" +
             (dark ? "#ffffff" : "#222222") + "\">" + (v ? Fixed(*v, 2) : "–") + "</text>";
    }
  }
  return out + "</svg><figcaption>Correlations of the calibrated parameters (red positive, blue "
               "negative; |ρ| ≥ " + Fixed(optimisation::kCorrelationLimit, 2) + " is flagged)</figcaption></figure>\n";
}

// One sentence per flag; a pair or a whole-fit remark appears once.
std::string Sentences(const Summary& s) {
  std::vector<std::string> seen;
  std::string out;
  for (const ParameterSummary& p : s.parameters) {
    if (!p.uncertainty) continue;
    for (const UncertaintyFlagSummary& f : p.uncertainty->flags) {
      if (std::find(seen.begin(), seen.end(), f.text) != seen.end()) continue;
      seen.push_back(f.text);
      out += "<li class=\"" + XmlEscape(f.kind) + "\">" + XmlEscape(f.text) + "</li>\n";
    }
  }
  if (out.empty()) return "<p>No flags: every parameter is determined by these curves.</p>\n";
  return "<ul class=\"warnings uncertainty-flags\">\n" + out + "</ul>\n";
}

std::string Method(const UncertaintySummary& u) {
  std::string out = "<p class=\"note\">Linearised intervals: calibrated value ± t(0.975; " +
                    std::to_string(u.degreesOfFreedom) + ") = " +
                    (u.tQuantile ? Fixed(*u.tQuantile, 3) : std::string("–")) +
                    " times the standard error, from the Jacobian of the " +
                    std::to_string(u.residualCount) +
                    " weighted relative deviations (central differences with a step of " +
                    Significant(u.step * 100.0, 2) +
                    " % of each range) and their variance estimated from the fit (m − n = " +
                    std::to_string(u.degreesOfFreedom) + "). Condition number of the Jacobian "
                    "scaled to the bounds: " +
                    (u.conditionNumber ? Significant(*u.conditionNumber, 3) : std::string("infinite")) +
                    ".";
  if (u.profileThreshold) {
    out += " Profile intervals: the parameter moved, the others fitted again, until the objective "
           "rises to " + Significant(*u.profileThreshold, 4) +
           " (the level of F(0.95; 1, m − n)); " + std::to_string(u.profileEvaluations) +
           " evaluations.";
  }
  out += " On the bound bars above: shaded, the linearised interval; the line below it, the profile "
         "interval (dashed towards a bound where it does not close).</p>\n";
  return out;
}

}  // namespace

std::string UncertaintySection(const Summary& s) {
  if (!s.uncertainty) return "";
  const UncertaintySummary& u = *s.uncertainty;
  std::string out = "<h2>How far to trust each parameter</h2>\n";
  if (!u.computed) {
    return out + "<p>Not estimated: " + XmlEscape(u.note) + ".</p>\n";
  }
  if (!u.note.empty()) out += "<p class=\"note\">Note: " + XmlEscape(u.note) + ".</p>\n";
  out += Sentences(s);
  out += Table(s, u);
  out += HeatMap(s, u);
  out += Method(u);
  return out;
}

std::string IntervalOnBar(const ParameterSummary& p, double x0, double width) {
  if (!p.uncertainty) return "";
  const double range = p.upper - p.lower;
  if (!(range > 0.0)) return "";
  auto at = [&](double v) { return x0 + std::clamp((v - p.lower) / range, 0.0, 1.0) * width; };
  std::string out;
  if (const auto& i = p.uncertainty->interval95) {
    const double a = at(i->first), b = at(i->second);
    out += "<rect class=\"interval\" x=\"" + Fixed(a, 1) + "\" y=\"4\" width=\"" +
           Fixed(std::max(b - a, 1.0), 1) + "\" height=\"10\" fill=\"" + kLinearColour +
           "\" fill-opacity=\"0.25\"/>";
  }
  if (const auto& profile = p.uncertainty->profile; profile && p.best) {
    const double centre = at(*p.best);
    auto side = [&](const std::optional<double>& end, double bound) {
      const double x = at(end ? *end : bound);
      std::string s = "<line class=\"profile\" x1=\"" + Fixed(centre, 1) + "\" y1=\"16.5\" x2=\"" +
                      Fixed(x, 1) + "\" y2=\"16.5\" stroke=\"" + kProfileColour +
                      "\" stroke-width=\"2\"" + (end ? "" : " stroke-dasharray=\"3 2\"") + "/>";
      if (end) {
        s += "<line x1=\"" + Fixed(x, 1) + "\" y1=\"13.5\" x2=\"" + Fixed(x, 1) +
             "\" y2=\"18\" stroke=\"" + kProfileColour + "\" stroke-width=\"1.5\"/>";
      }
      return s;
    };
    out += side(profile->low, p.lower) + side(profile->high, p.upper);
  }
  return out;
}

}  // namespace soilcal::report
