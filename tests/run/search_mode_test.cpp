// The thorough search through the program, chosen by the flag file or the
// option: the same files on every run, closer to the example's parameters
// than the default search.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

const char* const kWritten[] = {"Optimization_result.txt", "Q_EPS.TXT_referenced",
                                "EV_EPS.TXT_referenced", "Q_EPS.TXT_calculated",
                                "EV_EPS.TXT_calculated"};

double RelativeError(const std::string& result) {
  return KeyValue(ParseResultFile(result), "Objective info", "Relative Error");
}

// Without flag or option the default search runs: the reference runs of
// reference_identity_test.cpp.
TEST(SearchMode, ThoroughRepeatsByFlagOrOptionAndBeatsTheDefault) {
  TempDir flagged, again, optioned;
  for (const TempDir* d : {&flagged, &again, &optioned}) CopyExample("sand_triaxial", d->path());
  for (const TempDir* d : {&flagged, &again}) {
    d->Write("thorough_search", "");
    EXPECT_EQ(RunSoilcal("OPTIM.TXT", d->path()).exitStatus, 0);
  }
  const ProcessRun option =
      RunProcess(BuildPath("soilcal"), {"--search=thorough", "OPTIM.TXT"}, optioned.path());
  ASSERT_EQ(option.exitStatus, 0);

  for (const char* name : kWritten) {
    const std::string thorough = WithoutTimingLines(ReadFile(flagged.path() / name));
    EXPECT_FALSE(thorough.empty()) << name;
    EXPECT_EQ(WithoutTimingLines(ReadFile(again.path() / name)), thorough) << name;
    EXPECT_EQ(WithoutTimingLines(ReadFile(optioned.path() / name)), thorough) << name;
  }
  // The example's curves are the closed-form response of G = 24000 and
  // sin(phi) = sin(38 deg): the thorough search gets far closer than the
  // default's 6 %.
  const std::string result = ReadFile(flagged.path() / "Optimization_result.txt");
  ASSERT_NE(result.find(" Exit Code = 0\n"), std::string::npos) << result;
  EXPECT_LT(RelativeError(result), 0.1) << result;
  const fs::path byDefault = SourcePath("tests/fixtures/reference_runs/sand_triaxial");
  EXPECT_GT(RelativeError(ReadFile(byDefault / "Optimization_result.txt")), 1.0);
  EXPECT_NEAR(KeyValue(ParseResultFile(result), "Params", "Gref"), 24000.0, 24.0) << result;
}

}  // namespace
}  // namespace soilcal::testing
