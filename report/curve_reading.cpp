// Reads curve files with the job readers' free-format rules, so a value
// reads back to the same double the calibration held.
#include "report/curve_reading.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "input/free_format.hpp"
#include "services/paths.hpp"

namespace soilcal::report {

namespace {

bool Read(input::LineReader& lines, std::initializer_list<input::ReadItem> items) {
  return input::ReadStatement(lines, items) == input::ReadStatus::kOk;
}

}  // namespace

CurveSeries ReadMeasuredCurveFile(const std::string& path) {
  CurveSeries out;
  if (!services::FileExists(path)) return out;
  input::InputFile file(services::ResolvePath(path));
  if (!file.opened()) return out;
  input::LineReader& lines = file.lines();
  int c1 = 0, c2 = 0, nSegments = 0, flag = 0;
  if (!Read(lines, {&c1, &c2}) || !Read(lines, {&nSegments}) || !Read(lines, {&flag})) return out;
  long long nPoints = 0;
  for (int s = 0; s < nSegments; ++s) {
    int size = 0;
    if (!Read(lines, {&size}) || size < 0) return out;
    nPoints += size;
  }
  for (long long i = 0; i < nPoints; ++i) {
    double x = 0.0, y = 0.0;
    if (!Read(lines, {&x, &y})) return CurveSeries{};
    out.x.push_back(x);
    out.y.push_back(y);
  }
  return out;
}

CurveSeries ReadSimulatedCurveFile(const std::string& path) {
  CurveSeries out;
  if (!services::FileExists(path)) return out;
  input::InputFile file(services::ResolvePath(path));
  if (!file.opened()) return out;
  input::LineReader& lines = file.lines();
  int c1 = 0, c2 = 0;
  if (!Read(lines, {&c1, &c2})) return out;
  double x = 0.0, y = 0.0;
  while (Read(lines, {&x, &y})) {
    out.x.push_back(x);
    out.y.push_back(y);
  }
  return out;
}

CurveSeries AsCompared(const CurveSeries& simulated, const CurveSeries& measured,
                       const std::vector<int>& segments, const std::vector<int>& loadSteps) {
  const std::size_t phases = segments.size();
  if (phases < 2 || loadSteps.size() != phases) return simulated;
  const std::size_t n = std::min(simulated.x.size(), simulated.y.size());
  // PhaseFirstPoint(p) = 1 + sum over q < p of (s_q + 1), PhaseLastPoint(p)
  // = 1 + sum over q <= p of s_q (1-based), as the objective takes them.
  std::vector<std::size_t> first(phases + 1, 1), last(phases + 1, 1);
  for (std::size_t p = 1; p <= phases; ++p) {
    const auto steps = static_cast<std::size_t>(std::max(loadSteps[p - 1], 0));
    last[p] = (p > 1 ? last[p - 1] : 1) + steps;
    if (p > 1) first[p] = first[p - 1] + static_cast<std::size_t>(std::max(loadSteps[p - 2], 0)) + 1;
  }
  CurveSeries shifted = simulated;
  shifted.x.resize(n);
  shifted.y.resize(n);
  std::vector<double> dx(phases + 1, 0.0), dy(phases + 1, 0.0);
  std::vector<bool> moved(phases + 1, false);
  std::size_t i = static_cast<std::size_t>(std::max(segments[0], 0)) + 1;  // first point of phase p
  for (std::size_t p = 2; p <= phases; ++p) {
    const int size = segments[p - 1];
    if (size != 0 && first[p] <= n && i <= measured.x.size() && i <= measured.y.size()) {
      dx[p] = measured.x[i - 1] - simulated.x[first[p] - 1];
      dy[p] = measured.y[i - 1] - simulated.y[first[p] - 1];
      moved[p] = true;
    }
    i += static_cast<std::size_t>(std::max(size, 0));
  }
  for (std::size_t p = 2; p <= phases; ++p) {
    if (!moved[p]) continue;
    for (std::size_t k = first[p]; k <= std::min(last[p], n); ++k) {
      shifted.x[k - 1] += dx[p];
      shifted.y[k - 1] += dy[p];
    }
  }
  CurveSeries out;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t k = 1; k <= n; ++k) {
    if (k > 1 && std::find(first.begin() + 2, first.end(), k) != first.end()) {
      out.x.push_back(nan);
      out.y.push_back(nan);
    }
    out.x.push_back(shifted.x[k - 1]);
    out.y.push_back(shifted.y[k - 1]);
  }
  return out;
}

JobCurves ReadJobCurves(const Summary& summary, const std::string& folder) {
  JobCurves out;
  for (const TestSummary& test : summary.tests) {
    std::vector<CurvePoints> curves;
    for (const CurveSummary& c : test.curves) {
      // Only what the run itself had: a curve it read, simulated files it
      // wrote (older files of an earlier run may lie beside them).
      const std::string path = folder + c.file;
      CurvePoints p;
      if (c.nPoints > 0) p.measured = ReadMeasuredCurveFile(path);
      if (c.start) p.start = ReadSimulatedCurveFile(path + "_referenced");
      if (c.best) p.best = ReadSimulatedCurveFile(path + "_calculated");
      p.start = AsCompared(p.start, p.measured, c.segments, test.loadSteps);
      p.best = AsCompared(p.best, p.measured, c.segments, test.loadSteps);
      curves.push_back(std::move(p));
    }
    out.push_back(std::move(curves));
  }
  return out;
}

}  // namespace soilcal::report
