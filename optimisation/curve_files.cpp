// Files of simulated curves ("_referenced", "_calculated") next to the
// measured curve files.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "labtest/driver.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/diag.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

namespace {

constexpr std::size_t kCurveNameLength = 80;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

bool WriteCurveFile(const std::string& name, const input::Curve& curve,
                    const labtest::Recording& rec, int nRecorded) {
  File f(std::fopen(services::ResolvePath(name).c_str(), "w"));
  if (!f) {
    if (services::Diag().on()) services::Diag().Error("cannot write simulated curve " + name);
    return false;
  }
  const bool swap = curve.swapped;
  const int first = swap ? curve.yCode : curve.xCode;
  const int second = swap ? curve.xCode : curve.yCode;
  std::fprintf(f.get(), " %d %d\n", first, second);
  for (int k = 1; k <= nRecorded; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    // "+ 0.0" writes a negated zero (e.g. code -14 at rest) as "0".
    const double a = input::CurveQuantity(point, first) + 0.0;
    const double b = input::CurveQuantity(point, second) + 0.0;
    std::fprintf(f.get(), " %s %s\n", services::FormatReal(a).c_str(),
                 services::FormatReal(b).c_str());
  }
  return true;
}

void WriteSimulatedCurves(const input::Job& job, labtest::SimulationContext& ctx,
                          std::span<const double> x, const std::string& suffix,
                          bool keepTestParameters) {
  if (!keepTestParameters) {
    const auto& index = job.settings.index;
    for (std::size_t j = 0; j < x.size() && j < index.size(); ++j) ctx.set1.prop[index[j]] = x[j];
  }
  for (const input::LabTest& test : job.tests) {
    labtest::PrepareLabTest(ctx, test);
    // A failed run still leaves its recorded points, and they are written.
    const labtest::LabTestRun run = labtest::RunLabTest(ctx);
    const std::size_t nCurves = std::min(test.curves.size(), test.curveFiles.size());
    for (std::size_t c = 0; c < nCurves; ++c) {
      std::string name = TrimRight(test.curveFiles[c]) + suffix;
      if (name.size() > kCurveNameLength) name.resize(kCurveNameLength);
      WriteCurveFile(name, test.curves[c], ctx.rec, run.nRecorded);
    }
  }
}

}  // namespace soilcal::optimisation
