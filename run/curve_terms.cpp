#include "run/curve_terms.hpp"

#include <algorithm>
#include <cmath>

#include "input/test_kind.hpp"
#include "labtest/point_table.hpp"
#include "report/quantity_display.hpp"

namespace soilcal::run {
namespace {

std::vector<double> Negated(std::vector<double> v) {
  for (double& value : v) value = -value + 0.0;
  return v;
}

// The values of quantity `code` from a curve's two columns in record order
// (x holds xCode, y holds yCode; a negative code is the negated quantity).
std::optional<std::vector<double>> Column(int code, const input::Curve& curve,
                                          const std::vector<double>& x,
                                          const std::vector<double>& y) {
  if (code == curve.xCode) return x;
  if (code == -curve.xCode) return Negated(x);
  if (code == curve.yCode) return y;
  if (code == -curve.yCode) return Negated(y);
  return std::nullopt;
}

std::vector<double> Scaled(std::vector<double> v, const input::AxisLanguage& axis) {
  for (double& value : v) value = input::ToJobValue(axis, value);
  return v;
}

// A series in the file's column order as the job names it; the gaps drawn
// between the shifted phases of a compared curve are left out.
NamedSeries Named(const input::LabTest& test, std::size_t c, const input::CurveLanguage* language,
                  const report::CurveSeries& columns, bool simulated, NamedCurve& names) {
  const input::Curve& m = test.curves[c];
  const std::size_t n = std::min(columns.x.size(), columns.y.size());
  std::vector<double> xs, ys;
  std::vector<int> phase;
  const std::vector<int> measuredPhase = MeasuredPhases(m);
  std::size_t k = 0;  // recorded point of a simulated series
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(columns.x[i]) && std::isnan(columns.y[i])) continue;
    ++k;
    // Columns back to the codes' order.
    xs.push_back(m.swapped ? columns.y[i] : columns.x[i]);
    ys.push_back(m.swapped ? columns.x[i] : columns.y[i]);
    phase.push_back(simulated ? labtest::PhaseOfPoint(test, static_cast<int>(k))
                              : (i < measuredPhase.size() ? measuredPhase[i] : 1));
  }
  TermedAxes axes = InJobTerms(test, c, language, xs, ys);
  names.xName = std::move(axes.xName);
  names.yName = std::move(axes.yName);
  return NamedSeries{std::move(axes.x), std::move(axes.y), std::move(phase)};
}

}  // namespace

std::vector<int> MeasuredPhases(const input::Curve& curve) {
  std::vector<int> phase;
  for (std::size_t s = 0; s < curve.segmentSizes.size(); ++s) {
    phase.insert(phase.end(), static_cast<std::size_t>(std::max(curve.segmentSizes[s], 0)),
                 static_cast<int>(s) + 1);
  }
  phase.resize(static_cast<std::size_t>(std::max(curve.nPoints, 0)), phase.empty() ? 1 : phase.back());
  return phase;
}

const input::CurveLanguage* LanguageOf(const input::Job& job, std::size_t t, std::size_t c) {
  if (!job.language || t >= job.language->curves.size() || c >= job.language->curves[t].size()) {
    return nullptr;
  }
  return &job.language->curves[t][c];
}

std::string QuantityName(int code, const input::LabTest& test) {
  const report::AxisQuantity q = report::NameQuantity(code, input::RecogniseTestType(test), {});
  std::string name = q.words;
  if (!q.symbol.empty()) name += " " + q.symbol;
  if (!q.sense.empty()) name += " (" + q.sense + ")";
  return name;
}

TermedAxes InJobTerms(const input::LabTest& test, std::size_t c, const input::CurveLanguage* language,
                      const std::vector<double>& xs, const std::vector<double>& ys) {
  const input::Curve& m = test.curves[c];
  TermedAxes out{QuantityName(m.xCode, test), QuantityName(m.yCode, test), xs, ys};
  if (language == nullptr) return out;
  const auto x = Column(language->x.code, m, xs, ys);
  const auto y = Column(language->y.code, m, xs, ys);
  if (!x || !y) return out;
  return TermedAxes{language->x.name, language->y.name, Scaled(*x, language->x),
                    Scaled(*y, language->y)};
}

std::vector<NamedTestCurves> NamedCurves(const input::Job& job, const report::Summary& summary,
                                         const report::JobCurves& curves) {
  std::vector<NamedTestCurves> out;
  for (std::size_t t = 0; t < job.tests.size() && t < summary.tests.size() && t < curves.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    const report::TestSummary& s = summary.tests[t];
    NamedTestCurves named{s.file, {}};
    for (std::size_t c = 0; c < test.curves.size() && c < s.curves.size() && c < curves[t].size(); ++c) {
      const input::CurveLanguage* language = LanguageOf(job, t, c);
      const report::CurvePoints& points = curves[t][c];
      NamedCurve curve;
      curve.file = s.curves[c].file;
      curve.measured = Named(test, c, language, points.measured, false, curve);
      if (!points.start.x.empty()) {
        curve.start = Named(test, c, language, points.start, true, curve);
      }
      if (!points.best.x.empty()) {
        curve.best = Named(test, c, language, points.best, true, curve);
      }
      named.curves.push_back(std::move(curve));
    }
    out.push_back(std::move(named));
  }
  return out;
}

}  // namespace soilcal::run
