// The choice of search through the program: the default stays the shipped
// search file for file; the thorough search, chosen by the flag file or the
// option, gives the same files on every run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "job_files.hpp"
#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

const char* const kWritten[] = {"Optimization_result.txt", "Q_EPS.TXT_referenced",
                                "EV_EPS.TXT_referenced", "Q_EPS.TXT_calculated",
                                "EV_EPS.TXT_calculated"};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The file without its two timing lines.
std::string WithoutTimes(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind(" Wall Time [ms] = ", 0) == 0 || line.rfind(" CPU Time = ", 0) == 0) continue;
    out += line + "\n";
  }
  return out;
}

void CopyExample(const TempDir& to) {
  for (const char* name : {"OPTIM.TXT", "TRIAX1.VLT", "Q_EPS.TXT", "EV_EPS.TXT"}) {
    fs::copy_file(SourcePath(std::string("examples/sand_triaxial/") + name), to.path() / name);
  }
}

double RelativeError(const std::string& result) {
  const auto at = result.find(" Relative Error = ");
  return at == std::string::npos ? -1.0 : std::stod(result.substr(at + 18));
}

TEST(SearchMode, DefaultMatchesTheReferenceAndThoroughRepeatsByFlagOrOption) {
  TempDir plain, flagged, again, optioned;
  for (const TempDir* d : {&plain, &flagged, &again, &optioned}) CopyExample(*d);
  std::ofstream(flagged.path() / "thorough_search").flush();
  std::ofstream(again.path() / "thorough_search").flush();
  for (const TempDir* d : {&plain, &flagged, &again}) {
    const ProgramRun run =
        RunProgram(BuildPath("soilcal"), (d->path() / "OPTIM.TXT").string(), d->path().string());
    EXPECT_EQ(run.exitStatus, 0);
  }
  const std::string command = "cd '" + optioned.path().string() + "' && '" + BuildPath("soilcal") +
                              "' --search=thorough OPTIM.TXT >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  const fs::path reference = SourcePath("tests/fixtures/reference_runs/sand_triaxial");
  for (const char* name : kWritten) {
    EXPECT_EQ(WithoutTimes(ReadFile(plain.path() / name)), WithoutTimes(ReadFile(reference / name)))
        << name;
    const std::string thorough = WithoutTimes(ReadFile(flagged.path() / name));
    EXPECT_FALSE(thorough.empty()) << name;
    EXPECT_EQ(WithoutTimes(ReadFile(again.path() / name)), thorough) << name;
    EXPECT_EQ(WithoutTimes(ReadFile(optioned.path() / name)), thorough) << name;
  }
  // The example's curves are the closed-form response of G = 24000 and
  // sin(phi) = sin(38 deg): the thorough search gets far closer than the
  // default's 6 %.
  const std::string result = ReadFile(flagged.path() / "Optimization_result.txt");
  ASSERT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result;
  EXPECT_LT(RelativeError(result), 0.1) << result;
  EXPECT_GT(RelativeError(ReadFile(plain.path() / "Optimization_result.txt")), 1.0);
  const auto g = result.find(" Gref = ");
  ASSERT_NE(g, std::string::npos);
  EXPECT_NEAR(std::stod(result.substr(g + 8)), 24000.0, 24.0) << result;
}

}  // namespace
}  // namespace soilcal::testing
