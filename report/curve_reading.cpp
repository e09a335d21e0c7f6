// Reads curve files with the job readers' free-format rules, so a value
// reads back to the same double the calibration held.
#include "report/curve_reading.hpp"

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
      curves.push_back(std::move(p));
    }
    out.push_back(std::move(curves));
  }
  return out;
}

}  // namespace soilcal::report
