// The Hardening Soil example job: two drained triaxial tests (100 and 300
// kPa) and one oedometer, whose measured curves are what the program
// computes for E50ref = 20 MPa and phi = 32 deg (every other point of the
// reference run of the test files with those values). The test files start
// 30 % below both; the calibration has to find them again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

double ParamValue(const std::string& result, const std::string& key) {
  const std::string tag = " " + key + " = ";
  const auto at = result.find(tag, result.find("[Params]"));
  if (at == std::string::npos) return -1.0;
  return std::stod(result.substr(at + tag.size()));
}

TEST(HardeningSoilExample, CalibrationRecoversE50AndPhiFromStartValuesThirtyPercentOff) {
  TempDir job;
  for (const auto& entry : fs::directory_iterator(SourcePath("examples/hardening_soil"))) {
    fs::copy_file(entry.path(), job.path() / entry.path().filename());
  }
  const std::string command = "cd \"" + job.path().string() + "\" && \"" + BuildPath("soilcal") +
                              "\" \"" + (job.path() / "OPTIM.TXT").string() + "\" > out.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string result = job.Read("Optimization_result.txt");
  ASSERT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result << job.Read("out.txt");
  // 3 %: the search stops at its convergence tolerance, not at the exact
  // values; the residual error shows how close it came.
  EXPECT_NEAR(ParamValue(result, "E50ref"), 20000.0, 0.03 * 20000.0) << result;
  const double sinPhi = std::sin(32.0 * 3.14159265358979323846 / 180.0);
  EXPECT_NEAR(ParamValue(result, "phi"), sinPhi, 0.03 * sinPhi) << result;
  for (const char* curve : {"Q_EPS_100.TXT", "Q_EPS_300.TXT", "OED_EPS.TXT"}) {
    EXPECT_TRUE(fs::exists(job.path() / (std::string(curve) + "_referenced"))) << curve;
    EXPECT_TRUE(fs::exists(job.path() / (std::string(curve) + "_calculated"))) << curve;
  }
}

}  // namespace
}  // namespace soilcal::testing
