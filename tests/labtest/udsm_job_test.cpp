// The example user-model job through the real program: the reference curves
// follow the closed-form triaxial response of the start parameters, and the
// calibration returns to the parameters the measured curves were made with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

// Value of "key = value" in the result file, NaN when missing.
double ResultValue(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find(" = ");
    if (eq == std::string::npos) continue;
    std::string name = line.substr(0, eq);
    name.erase(0, name.find_first_not_of(' '));
    if (name == key) return std::stod(line.substr(eq + 3));
  }
  return std::nan("");
}

// (x, y) points of a simulated curve file (first line: the two codes).
std::vector<std::pair<double, double>> CurvePoints(const fs::path& file) {
  std::ifstream in(file);
  std::string header;
  std::getline(in, header);
  std::vector<std::pair<double, double>> points;
  double x = 0.0, y = 0.0;
  while (in >> x >> y) points.emplace_back(x, y);
  return points;
}

// Failure deviator of the drained triaxial test, compression positive:
// q = 2 (c cos(phi) + sigma3 sin(phi)) / (1 - sin(phi)).
double FailureDeviator(double c, double phiDeg, double sigma3) {
  const double s = std::sin(phiDeg * kPi / 180.0);
  return 2.0 * (c * std::cos(phiDeg * kPi / 180.0) + sigma3 * s) / (1.0 - s);
}

TEST(UserModelJob, ReferenceCurvesAreClosedFormAndCalibrationFindsTheTrueParameters) {
  TempDir dir;
  for (const auto& entry : fs::directory_iterator(SourcePath("examples/udsm_job"))) {
    fs::copy_file(entry.path(), dir.path() / entry.path().filename());
  }
  const std::string command = BuildPath("soilcal") + " " + (dir.path() / "OPTIM.TXT").string() +
                              " > " + (dir.path() / "console.txt").string() + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string result = dir.Read("Optimization_result.txt");
  ASSERT_EQ(ResultValue(result, "Exit Code"), 0.0) << result;

  // Reference run with the files' start values E = 10500, phi = 21, c = 1:
  // q = E eps_a while elastic, the failure deviator at the end.
  for (const auto& [file, cell] : {std::pair{"Q_EPS_100.TXT_referenced", 100.0},
                                   std::pair{"Q_EPS_200.TXT_referenced", 200.0}}) {
    const auto q = CurvePoints(dir.path() / file);
    ASSERT_EQ(q.size(), 101u) << file;
    // 5e-4 axial strain is elastic in both tests; the step solver meets the
    // cell pressure to its tolerance, hence 1e-3 relative.
    EXPECT_NEAR(q[1].second, 10500.0 * q[1].first, 1e-3 * q[1].second) << file;
    const double qf = FailureDeviator(1.0, 21.0, cell);
    EXPECT_NEAR(q.back().second, qf, 1e-3 * qf) << file;
  }

  // The curves were simulated with E = 15000 and phi = 30. The swarm stops
  // at its convergence tolerance, a few per cent from the optimum.
  EXPECT_NEAR(ResultValue(result, "ProLay31"), 15000.0, 0.05 * 15000.0);
  EXPECT_NEAR(ResultValue(result, "ProLay34"), 30.0, 1.5);
  EXPECT_LT(ResultValue(result, "Relative Error"), 5.0);
}

}  // namespace
}  // namespace soilcal::testing
