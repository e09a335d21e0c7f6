// The soft-clay example job: its measured curves are what the program
// computes for lambda* = 0.1, kappa* = 0.02 and M = 1.2, so a run whose
// bounds pin those values fits them exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SoftClayExample, CurvesAreThoseOfTheKnownParameters) {
  TempDir job;
  for (const auto& entry : fs::directory_iterator(SourcePath("examples/soft_clay"))) {
    fs::copy_file(entry.path(), job.path() / entry.path().filename());
  }
  // Bounds pinned on the parameters the curves were made with.
  std::string optim = ReadFile(job.path() / "OPTIM.TXT");
  const std::string bounds = "0.05 0.2\n0.005 0.04\n0.8 1.6\n";
  const auto at = optim.find(bounds);
  ASSERT_NE(at, std::string::npos) << optim;
  optim.replace(at, bounds.size(), "0.1 0.1\n0.02 0.02\n1.2 1.2\n");
  optim.replace(optim.find("\n3\n"), 3, "\n1\n");  // search intensity 1 is enough here
  job.Write("OPTIM.TXT", optim);

  const std::string command = "cd \"" + job.path().string() + "\" && \"" + BuildPath("soilcal") +
                              "\" \"" + (job.path() / "OPTIM.TXT").string() + "\" > out.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string result = job.Read("Optimization_result.txt");
  EXPECT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result;
  // The stored curves carry 17 significant digits; interpolation at the
  // recorded abscissae reproduces them to rounding.
  const auto err = result.find(" Relative Error = ");
  ASSERT_NE(err, std::string::npos) << result;
  EXPECT_LT(std::stod(result.substr(err + 18)), 1e-9) << result;
  // Every measured curve got its simulated twin.
  for (const char* curve : {"OED_EPS.TXT", "Q_EPS.TXT", "EV_EPS.TXT"}) {
    EXPECT_TRUE(fs::exists(job.path() / (std::string(curve) + "_calculated"))) << curve;
  }
}

}  // namespace
}  // namespace soilcal::testing
