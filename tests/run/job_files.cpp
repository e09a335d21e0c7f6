#include "job_files.hpp"

#include <algorithm>
#include <cmath>

#include "support/files.hpp"
#include "support/job_writer.hpp"

namespace soilcal::testing {

void WriteSmallJob(const std::filesystem::path& dir, double tolerance) {
  std::filesystem::create_directories(dir);
  const OptimisationFileDesc optim{.tolerance = tolerance, .index = {1, 3},
                                   .bounds = {{5000.0, 60000.0}, {0.4, 0.72}},
                                   .tests = {{"TRIAX1.VLT", {"Q_EPS.TXT"}}}};
  WriteFile(dir / "OPTIM.TXT", MakeOptimisationFile(optim));

  const LabTestPhase phase{.loadSteps = 20, .timeIncrement = 1.0,
                           .strain = {0, -0.05, 0, 0, 0, 0}, .flags = {1, 0, 1, 1, 1, 1}};
  // Gref, nu, sin(38 deg), Cref, sin(8 deg), ninit.
  const auto params =
      ParamSlots({{1, 24000.0}, {2, 0.25}, {3, 0.6157}, {4, 1.0}, {5, 0.1392}, {20, 0.35}});
  const LabTestFileDesc test{.version = 6, .header = "Test written by the run tests",
                             .materialName = "Test sand", .params = params, .testType = 1.0,
                             .initialStress = {-100, -100, -100, 0, 0, 0}, .phases = {phase}};
  WriteFile(dir / "TRIAX1.VLT", MakeLabTestFile(test));

  // Failure deviator q_f = sigma_r (N - 1) + 2 c sqrt(N), N = (1 + s)/(1 - s),
  // reached at the axial strain q_f / E; constant after it.
  const double s = std::sin(38.0 * std::acos(-1.0) / 180.0);
  const double n = (1.0 + s) / (1.0 - s);
  const double qf = 100.0 * (n - 1.0) + 2.0 * std::sqrt(n);
  std::vector<std::pair<double, double>> points;
  for (double ea : {0.0, 0.002, 0.004, 0.01, 0.02, 0.03, 0.04, 0.05}) {
    points.emplace_back(ea, std::min(60000.0 * ea, qf));
  }
  WriteFile(dir / "Q_EPS.TXT", MakeCurveFile(-14, 5, {points}));
}

}  // namespace soilcal::testing
