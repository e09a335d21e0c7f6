// Two calibrations in one process at the same time, each on its own thread:
// they must not share open files, diagnostics or messages, and each must
// write what it writes when it runs alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/outputs.hpp"
#include "job_files.hpp"
#include "run/run_sequence.hpp"
#include "services/diag.hpp"
#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// The small job with the diagnostic log switched on.
void WriteLoggedJob(const TempDir& dir) {
  WriteSmallJob(dir.path());
  dir.Write("do_opti", "");
}

void Calibrate(const TempDir& dir) {
  std::string argument = (dir.path() / "OPTIM.TXT").string();
  char program[] = "soilcal";
  char* argv[] = {program, argument.data(), nullptr};
  run::RunSequence(2, argv);
}

// Every file the run wrote (the result without its timing lines).
std::map<std::string, std::string> Outputs(const TempDir& dir) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name == "Optimization_result.txt") {
      out[name] = WithoutTimingLines(dir.Read(name));
    } else if (name == "file2" || name.find("_referenced") != std::string::npos ||
               name.find("_calculated") != std::string::npos) {
      out[name] = dir.Read(name);
    }
  }
  return out;
}

TEST(ConcurrentRuns, TwoCalibrationsInOneProcessWriteWhatEachWritesAlone) {
  ::testing::internal::CaptureStdout();
  TempDir loggedAlone, sandAlone, logged, sand;
  WriteLoggedJob(loggedAlone);
  WriteLoggedJob(logged);
  CopyExample("sand_triaxial", sandAlone.path());
  CopyExample("sand_triaxial", sand.path());

  Calibrate(loggedAlone);
  Calibrate(sandAlone);
  std::thread first([&] { Calibrate(logged); });
  std::thread second([&] { Calibrate(sand); });
  first.join();
  second.join();
  ::testing::internal::GetCapturedStdout();

  const auto expectedLogged = Outputs(loggedAlone);
  const auto expectedSand = Outputs(sandAlone);
  ASSERT_EQ(expectedLogged.count("file2"), 1u);
  EXPECT_GT(expectedLogged.at("file2").size(), 1000u);
  EXPECT_NE(expectedLogged.at("Optimization_result.txt").find(" Exit Code = 0"), std::string::npos);
  EXPECT_NE(expectedSand.at("Optimization_result.txt").find(" Exit Code = 0"), std::string::npos);
  EXPECT_EQ(expectedSand.count("file2"), 0u);  // no do_opti: diagnostics to the null device

  // Same files, same bytes, diagnostics of the logged run complete and
  // nothing of the other run in them.
  EXPECT_EQ(Outputs(logged), expectedLogged);
  EXPECT_EQ(Outputs(sand), expectedSand);
  // This thread never bound a run: its default channel stayed closed.
  EXPECT_FALSE(services::Diag().on());
}

}  // namespace
}  // namespace soilcal::testing
