// Files of simulated curves ("_referenced", "_calculated") next to the
// measured curve files.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "labtest/driver.hpp"
#include "optimisation/curve_csv.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/diag.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// True when `path` names the same file as one of the job's input files (the
// optimisation file, a test file, a measured curve), by name or by inode.
bool IsInputFileOf(const input::Job& job, const std::string& path) {
  const std::string resolved = services::ResolvePath(path);
  struct stat target {};
  const bool exists = ::stat(resolved.c_str(), &target) == 0;
  auto same = [&](const std::string& input) {
    const std::string other = services::ResolvePath(input);
    if (other == resolved) return true;
    struct stat st {};
    return exists && ::stat(other.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
           st.st_ino == target.st_ino;
  };
  if (same(job.argument)) return true;
  for (const input::LabTest& test : job.tests) {
    if (same(test.testFile)) return true;
    for (const std::string& curve : test.curveFiles) {
      if (same(curve)) return true;
    }
  }
  return false;
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
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    // A failed run still leaves its recorded points, and they are written.
    const labtest::LabTestRun run = RunTest(ctx, test, t);
    const std::size_t nCurves = std::min(test.curves.size(), test.curveFiles.size());
    for (std::size_t c = 0; c < nCurves; ++c) {
      // Beside the measured file under its full path: the name limit of the
      // optimisation file applies to the listed name only, never here.
      const std::string name = TrimRight(test.curveFiles[c]) + suffix;
      if (IsInputFileOf(job, name)) {
        services::Warn("simulated curve " + name + " not written: it would replace an input file");
        continue;
      }
      WriteCurveFile(name, test.curves[c], ctx.rec, run.nRecorded);
    }
    WriteCurveCsvFiles(job, t, ctx.rec, run.nRecorded, suffix);
  }
}

}  // namespace soilcal::optimisation
