// The Hoek-Brown example job: its measured curves are what the program
// computes for the known parameters its README gives, so a run whose bounds
// pin those values fits every curve. A Sekiguchi-Ohta test of the same job
// ends in the element stiffness routine, which does not take models 31 and
// 32.
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

// mb of mi = 12 at GSI 60 and D 0: 12 exp(-40/28).
TEST(RockAndClayExamples, CurvesAreThoseOfTheKnownParameters) {
  const std::vector<Example> examples{
      {"examples/hoek_brown_rock", {60000.0, 2.8758124373013096}},
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

// The rock example's job with its material switched to a Sekiguchi-Ohta
// clay (K0nc 0.6, kappa* 0.002, lambda* 0.01): the completion accepts it,
// then the program stops at the first load step with the element routine's
// message and writes no result.
TEST(RockAndClayExamples, SekiguchiOhtaStopsInTheElementStiffness) {
  for (const char* model : {"31", "32"}) {
    TempDir job;
    for (const auto& entry : fs::directory_iterator(SourcePath("examples/hoek_brown_rock"))) {
      if (entry.is_regular_file()) fs::copy_file(entry.path(), job.path() / entry.path().filename());
    }
    for (const char* test : {"UCS.VLT", "TRIAX3.VLT", "TRIAX10.VLT"}) {
      std::istringstream in(job.Read(test));
      std::vector<std::string> lines;
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      ASSERT_EQ(lines[10] + lines[11], "Material15") << test;
      lines[11] = model;
      lines[19 + 37] = "0.6";  // slot k is line 20 + k
      lines[19 + 38] = "0.002";
      lines[19 + 39] = "0.01";
      std::string text;
      for (const std::string& line : lines) text += line + '\n';
      job.Write(test, text);
    }
    const std::string command = "cd \"" + job.path().string() + "\" && \"" +
                                BuildPath("soilcal") + "\" \"" +
                                (job.path() / "OPTIM.TXT").string() + "\" > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << model;
    EXPECT_NE(job.Read("out.txt").find("ZIrez:  Invalid model in ELEMBoth"), std::string::npos)
        << model;
    EXPECT_EQ(job.Read("Optimization_result.txt").find("[Params]"), std::string::npos) << model;
  }
}

}  // namespace
}  // namespace soilcal::testing
