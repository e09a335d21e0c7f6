#include "run/scale_hints.hpp"

#include <algorithm>
#include <cmath>

#include "report/report_sections.hpp"
#include "report/html_report.hpp"
#include "report/quantity_display.hpp"

namespace soilcal::run {
namespace {

double LargestMagnitude(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, std::abs(x));
  return m;
}

// The TOML axis ("x" or "y") that holds the native quantity `code`.
std::optional<std::string> TomlAxis(const input::CurveLanguage& language, int code) {
  if (std::abs(language.x.code) == std::abs(code)) return std::string("x");
  if (std::abs(language.y.code) == std::abs(code)) return std::string("y");
  return std::nullopt;
}

struct Axis {
  int code = 0;
  const std::vector<double>* measured = nullptr;
  const std::vector<double>* simulated = nullptr;  // start curve, file column order
};

}  // namespace

std::optional<double> RangeRatio(const std::vector<double>& measured,
                                 const std::vector<double>& simulated) {
  if (measured.empty() || simulated.empty()) return std::nullopt;
  const double sim = LargestMagnitude(simulated);
  if (!(sim > 0.0)) return std::nullopt;
  return LargestMagnitude(measured) / sim;
}

std::vector<report::Warning> ScaleHints(const input::Job& job, const report::Summary& summary,
                                        const report::JobCurves& curves) {
  std::vector<report::Warning> out;
  const report::QuantityUnits units = report::UnitsOf(summary.units);
  for (std::size_t t = 0; t < summary.tests.size() && t < curves.size(); ++t) {
    const report::TestSummary& test = summary.tests[t];
    for (std::size_t c = 0; c < test.curves.size() && c < curves[t].size(); ++c) {
      const report::CurveSummary& curve = test.curves[c];
      const report::CurvePoints& points = curves[t][c];
      const Axis axes[] = {{curve.column1, &points.measured.x, &points.start.x},
                           {curve.column2, &points.measured.y, &points.start.y}};
      for (const Axis& axis : axes) {
        const report::AxisQuantity q = report::NameQuantity(axis.code, test.type, units);
        if (q.kind != report::QuantityKind::kStrain) continue;
        const std::optional<double> ratio = RangeRatio(*axis.measured, *axis.simulated);
        if (!ratio || *ratio < kPercentRatioLow || *ratio > kPercentRatioHigh) continue;
        const std::string where = test.file + " / " + report::CurveName(curve);
        std::string text = where + ": the measured " + q.words + " reaches " +
                           report::ShortNumber(LargestMagnitude(*axis.measured)) +
                           " where the simulated one reaches " +
                           report::ShortNumber(LargestMagnitude(*axis.simulated)) +
                           ": are these strains in percent? ";
        const input::CurveLanguage* language =
            job.language && t < job.language->curves.size() && c < job.language->curves[t].size()
                ? &job.language->curves[t][c]
                : nullptr;
        const std::optional<std::string> tomlAxis =
            language ? TomlAxis(*language, axis.code) : std::nullopt;
        if (tomlAxis) {
          text += "add " + *tomlAxis + "_scale = 0.01 to this curve of the job file";
        } else {
          text += "the curve file holds strains as fractions: divide that column by 100";
        }
        out.push_back({"percent_scale", text});
      }
    }
  }
  return out;
}

}  // namespace soilcal::run
