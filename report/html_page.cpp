// Page frame, style sheet and number formats of the reports.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/html_report.hpp"
#include "report/svg_plot.hpp"
#include "services/diag.hpp"
#include "services/output_file.hpp"

namespace soilcal::report {

namespace {

constexpr const char* kStyle = R"(
body { font-family: sans-serif; font-size: 14px; color: #222222; margin: 24px; max-width: 1100px; }
h1 { font-size: 22px; margin-bottom: 4px; }
h2 { font-size: 18px; border-bottom: 1px solid #999999; margin-top: 28px; }
h3 { font-size: 15px; margin-bottom: 6px; }
table { border-collapse: collapse; margin: 8px 0; }
th, td { border: 1px solid #bbbbbb; padding: 3px 8px; text-align: right; vertical-align: middle; }
th { background: #eeeeee; }
td.text, th.text { text-align: left; }
.outcome { font-size: 16px; font-weight: bold; }
.ok { color: #1b6e20; }
.warn { color: #9a5b00; }
.failed { color: #b00020; }
table.facts td { text-align: left; }
.testinfo { margin: 0 0 6px 0; color: #444444; }
.warnings li { margin: 3px 0; }
.curves { display: flex; flex-wrap: wrap; gap: 16px; }
.tests { display: flex; flex-wrap: wrap; gap: 0 16px; }
figure { margin: 0; break-inside: avoid; page-break-inside: avoid; }
figcaption { font-size: 12px; color: #444444; }
svg.plot { border: 1px solid #dddddd; background: #ffffff; }
.note { color: #555555; font-size: 12px; }
.verdict { font-size: 15px; background: #f3f6fb; border-left: 4px solid #1f5fbf; padding: 8px 12px; }
tr.total td { font-weight: bold; }
svg.key { vertical-align: middle; }
@media print {
  body { margin: 0; font-size: 11px; }
  h2 { break-after: avoid; page-break-after: avoid; }
  table, .curves > figure { break-inside: avoid; page-break-inside: avoid; }
}
)";

}  // namespace

std::string HtmlPage(const std::string& title, const std::string& body) {
  std::string out = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n";
  out += "<meta charset=\"utf-8\"/>\n<title>" + XmlEscape(title) + "</title>\n";
  out += "<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  out += body;
  out += "</body>\n</html>\n";
  return out;
}

std::string ReportStyleSheet() { return kStyle; }

std::string ExactNumber(double value) { return services::FormatReal(value); }

std::string ShortNumber(double value, int digits) {
  if (!std::isfinite(value)) return "–";
  if (value == 0.0) return "0";
  char buffer[48];
  digits = std::max(digits, 1);
  const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
  if (exponent < -4 || exponent >= 9) {
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    return buffer;
  }
  // Fixed notation with `digits` significant digits, trailing zeros cut:
  // 25649.88 -> "25650", 0.636165 -> "0.6362", 39.50 -> "39.5".
  const int decimals = std::max(digits - 1 - exponent, 0);
  double shown = value;
  if (exponent >= digits) {
    const double unit = std::pow(10.0, exponent - digits + 1);
    shown = std::round(value / unit) * unit;
  }
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, shown);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  return services::WriteFileAtomically(path, text).ok;
}

}  // namespace soilcal::report
