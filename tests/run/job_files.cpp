#include "job_files.hpp"

#include <algorithm>
#include <cmath>

#include "support/job_writer.hpp"

namespace soilcal::testing {

LabTestDesc::LabTestDesc() {
  const std::pair<int, double> slots[] = {
      {1, 24000.0}, {2, 0.25}, {3, 0.6157}, {4, 1.0},  // Gref, nu, sin(38 deg), Cref
      {5, 0.1392}, {20, 0.35}};  // sin(8 deg), ninit
  for (const auto& [slot, value] : slots) params[slot] = value;
}

std::string LabTestFileText(const LabTestDesc& desc) {
  LabTestFileDesc file{.version = 6, .header = "Test written by the run tests",
                       .baseModel = desc.baseModel, .materialName = "Test sand", .params = desc.params,
                       .testType = desc.testType, .initialStress = {-100, -100, -100, 0, 0, 0}};
  for (int p = 0; p < desc.nPhases; ++p) {
    LabTestPhase phase;
    phase.loadSteps = desc.steps;
    phase.timeIncrement = 1.0;
    phase.strain = {0, -0.05 / desc.nPhases, 0, 0, 0, 0};
    phase.flags = {1, 0, 1, 1, 1, 1};
    file.phases.push_back(phase);
  }
  return MakeLabTestFile(file);
}

std::string CurveFileText(const CurveDesc& desc) {
  // All points in the first segment, the others empty.
  std::vector<std::vector<std::pair<double, double>>> segments(
      static_cast<std::size_t>(std::max(desc.nSegments, 0)));
  if (!segments.empty()) segments[0] = desc.points;
  return MakeCurveFile(desc.xCode, desc.yCode, segments);
}

std::string OptimisationFileText(const OptimisationDesc& desc) {
  OptimisationFileDesc file;
  file.intensity = desc.intensity;
  file.tolerance = desc.tolerance;
  file.index = desc.index;
  file.bounds = desc.bounds;
  for (const auto& [test, curves] : desc.tests) file.tests.push_back({test, curves});
  return MakeOptimisationFile(file);
}

CurveDesc DeviatorCurve() {
  // Failure deviator q_f = sigma_r (N - 1) + 2 c sqrt(N), N = (1 + s)/(1 - s),
  // reached at the axial strain q_f / E; constant after it.
  const double s = std::sin(38.0 * std::acos(-1.0) / 180.0);
  const double n = (1.0 + s) / (1.0 - s);
  const double qf = 100.0 * (n - 1.0) + 2.0 * std::sqrt(n);
  const double e = 60000.0;
  CurveDesc curve;
  for (double ea : {0.0, 0.002, 0.004, 0.01, 0.02, 0.03, 0.04, 0.05}) {
    curve.points.emplace_back(ea, std::min(e * ea, qf));
  }
  return curve;
}

ProgramRun RunProgram(const std::string& program, const std::optional<std::string>& argument,
                      const std::string& folder) {
  std::vector<std::string> args;
  if (argument) args.push_back(*argument);
  return RunProcess(program, args, folder);
}

}  // namespace soilcal::testing
