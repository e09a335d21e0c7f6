// The Hoek-Brown and Sekiguchi-Ohta example jobs: their measured curves are
// what the program computes for the known parameters their READMEs give, so
// a run whose bounds pin those values fits every curve.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

struct Example {
  const char* folder;
  std::vector<double> known;  // in the order of the free parameters
};

// The optimisation file with every bound line pinned on the known value.
std::string Pinned(const std::string& optim, const std::vector<double>& known) {
  std::istringstream in(optim);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::size_t n = known.size();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i >= 3 + n && i < 3 + 2 * n) {
      std::ostringstream v;
      v.precision(17);
      v << known[i - 3 - n] << ' ' << known[i - 3 - n];
      out += v.str();
    } else {
      out += lines[i];
    }
    out += '\n';
  }
  return out;
}

TEST(RockAndClayExamples, CurvesAreThoseOfTheKnownParameters) {
  const std::vector<Example> examples{
      {"examples/hoek_brown_rock", {60000.0, 12.0}},
      {"examples/sekiguchi_ohta_clay", {0.1, 1.2}},
      {"examples/sekiguchi_ohta_creep", {0.1, 0.004}},
  };
  for (const Example& ex : examples) {
    TempDir job;
    for (const auto& entry : fs::directory_iterator(SourcePath(ex.folder))) {
      if (entry.is_regular_file()) fs::copy_file(entry.path(), job.path() / entry.path().filename());
    }
    job.Write("OPTIM.TXT", Pinned(job.Read("OPTIM.TXT"), ex.known));
    const std::string command = "cd \"" + job.path().string() + "\" && \"" +
                                BuildPath("soilcal") + "\" \"" +
                                (job.path() / "OPTIM.TXT").string() + "\" > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ex.folder;
    const std::string result = job.Read("Optimization_result.txt");
    EXPECT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result;
    // The curve files carry 8 significant digits: the fit is exact to that.
    const auto err = result.find(" Relative Error = ");
    ASSERT_NE(err, std::string::npos) << result;
    EXPECT_LT(std::stod(result.substr(err + 18)), 1e-5) << ex.folder << "\n" << result;
  }
}

}  // namespace
}  // namespace soilcal::testing
