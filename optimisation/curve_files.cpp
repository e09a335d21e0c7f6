// Files of simulated curves ("_referenced", "_calculated") next to the
// measured curve files.
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "labtest/driver.hpp"
#include "optimisation/curve_csv.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/diag.hpp"
#include "services/notices.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

namespace {

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

void AppendPoint(std::string& text, double a, double b) {
  text += ' ';
  text += services::FormatReal(a);
  text += ' ';
  text += services::FormatReal(b);
  text += '\n';
}

}  // namespace

std::string SimulatedCurveName(const std::string& curveFile, const std::string& suffix) {
  return TrimRight(curveFile) + suffix;
}

bool WriteCurveFile(const std::string& name, const input::Curve& curve,
                    const labtest::Recording& rec, int nRecorded) {
  const bool swap = curve.swapped;
  const int first = swap ? curve.yCode : curve.xCode;
  const int second = swap ? curve.xCode : curve.yCode;
  std::string text = " " + std::to_string(first) + " " + std::to_string(second) + "\n";
  for (int k = 1; k <= nRecorded; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    // "+ 0.0" writes a negated zero (e.g. code -14 at rest) as "0".
    AppendPoint(text, input::CurveQuantity(point, first) + 0.0,
                input::CurveQuantity(point, second) + 0.0);
  }
  // Whole or not at all: a reader never sees half a curve.
  const std::string path = services::ResolvePath(name);
  const services::WriteStatus written = services::WriteFileAtomically(path, text);
  if (!written) {
    if (services::Diag().on()) services::Diag().Error("cannot write simulated curve " + name);
    services::ReportOutputFailure(path, written.cause);
  }
  return written.ok;
}

namespace {

// "test 2 (CDSS.VLT), curves _referenced: Load step 6 of phase 1
// ... did not converge: its error ... The fast step solver (--solver=fast)
// often carries such a step."
void WarnAboutFailedRun(const labtest::SimulationContext& ctx, const input::LabTest& test,
                        std::size_t t, const std::string& suffix,
                        const labtest::LabTestRun& run) {
  std::string text = labtest::DescribeRun(run, ctx.stepSolver == labtest::StepSolver::kFast);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  services::Warn(TestLabel(t, test) + ", curves " + suffix + ": " + text, "step_not_converged");
}

}  // namespace

void WriteSimulatedCurves(const input::Job& job, labtest::SimulationContext& ctx,
                          std::span<const double> x, const std::string& suffix,
                          bool keepTestParameters,
                          std::vector<std::vector<CurveInformation>>* information) {
  if (!keepTestParameters) {
    const auto& index = job.settings.index;
    for (std::size_t j = 0; j < x.size() && j < index.size(); ++j) ctx.set1.prop[index[j]] = x[j];
  }
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    // A failed run still leaves its recorded points, and they are written;
    // the run's warnings say in words where and why it stopped.
    const labtest::LabTestRun run = RunTest(ctx, test, t);
    if (run.status != 0) WarnAboutFailedRun(ctx, test, t, suffix, run);
    const std::size_t nCurves = std::min(test.curves.size(), test.curveFiles.size());
    for (std::size_t c = 0; c < nCurves; ++c) {
      // Beside the measured file under its full path: the name limit of the
      // optimisation file applies to the listed name only, never here.
      const std::string name = SimulatedCurveName(test.curveFiles[c], suffix);
      if (IsInputFileOf(job, name)) {
        services::Warn("simulated curve " + name + " not written: it would replace an input file");
        continue;
      }
      WriteCurveFile(name, test.curves[c], ctx.rec, run.nRecorded);
    }
    WriteCurveCsvFiles(job, t, ctx.rec, run.nRecorded, suffix);
    if (information != nullptr) {
      std::vector<input::Curve> sim;
      BuildSimulatedCurves(sim, test, ctx.rec, run.nRecorded);
      auto& counts = information->emplace_back();
      for (std::size_t c = 0; c < test.curves.size(); ++c) {
        counts.push_back(InformationOf(test, test.curves[c], sim[c], run.nRecorded));
      }
    }
  }
}

}  // namespace soilcal::optimisation
