// A TOML comparison of [[models]] writes or removes nothing in JOB.out/
// before it holds the folder's lock: a mistaken second call (here one
// whose checks fail) while a comparison works leaves that comparison's
// result and report alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "services/folder_lock.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// Two models, the second of an unknown name: the job fails its checks.
const std::string kBadComparison =
    "[[models]]\nname = \"mohr_coulomb\"\nparameters = { G = 10000, nu = 0.25, phi = 30 }\n"
    "calibrate.free = { phi = [25, 45] }\n"
    "[[models]]\nname = \"mohr_colomb\"\nparameters = { G = 10000 }\n"
    "calibrate.free = { G = [5000, 20000] }\n"
    "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\ncell_pressure = 100\n"
    "axial_strain = 0.1\n[[tests.curves]]\nfile = \"txa.csv\"\nx = \"axial_strain\"\n"
    "y = \"deviator_stress\"\n";

TEST(ComparisonLock, ARefusedComparisonLeavesARunningOnesFilesAlone) {
  TempDir dir;
  dir.Write("txa.csv", "axial_strain,deviator_stress\n0.01,100\n0.02,150\n");
  dir.Write("cmp.toml", kBadComparison);
  const fs::path out = dir.path() / "cmp.out";
  fs::create_directories(out);
  // What the running comparison has written so far.
  dir.Write("cmp.out/comparison.json", "{\"running\": true}\n");
  dir.Write("cmp.out/Optimization_result.txt", " [General]\n Exit Code = 0\n");
  {
    services::FolderLock held = services::FolderLock::Take(out.string() + "/", "a running comparison");
    ASSERT_EQ(held.state(), services::FolderLock::State::kHeld);
    const ProcessRun run = RunProcess(BuildPath("soilcal"), {"cmp.toml"}, dir.path());
    EXPECT_NE(run.err.find("is in use by another run"), std::string::npos) << run.err;
    EXPECT_EQ(dir.Read("cmp.out/comparison.json"), "{\"running\": true}\n");
    EXPECT_EQ(dir.Read("cmp.out/Optimization_result.txt"), " [General]\n Exit Code = 0\n");
  }
  // Once the folder is free, the same call refuses the job in its own
  // result file (exit code of the unknown model name) and clears the old
  // comparison, which is no answer to this job.
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"cmp.toml"}, dir.path());
  EXPECT_NE(run.err.find("mohr_colomb"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out / "comparison.json"));
  EXPECT_NE(dir.Read("cmp.out/Optimization_result.txt").find("Exit Code"), std::string::npos);
  EXPECT_EQ(dir.Read("cmp.out/Optimization_result.txt").find("Exit Code = 0\n"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
