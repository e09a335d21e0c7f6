// The example jobs run through the program on one and on two threads: every
// result and curve file must equal, byte for byte, what the program wrote
// before the search ran on several threads (tests/fixtures/reference_runs),
// apart from the two timing lines of the result file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// The fixture folder's name is the example's, with "_i2" for the jobs run at
// search intensity 2 (their OPTIM.TXT is in the fixture folder).
std::string ExampleOf(const std::string& job) {
  const auto cut = job.rfind("_i2");
  return cut != std::string::npos && cut + 3 == job.size() ? job.substr(0, cut) : job;
}

void CopyJob(const std::string& job, const fs::path& to) {
  CopyExample(ExampleOf(job), to);
  const fs::path ownOptim = SourcePath("tests/fixtures/reference_runs/" + job + "/OPTIM.TXT");
  if (fs::exists(ownOptim)) {
    fs::copy_file(ownOptim, to / "OPTIM.TXT", fs::copy_options::overwrite_existing);
  }
}

// Result and curve files of the reference run of `job`.
std::vector<fs::path> ReferenceFiles(const std::string& job) {
  std::vector<fs::path> files;
  for (const auto& entry :
       fs::directory_iterator(SourcePath("tests/fixtures/reference_runs/" + job))) {
    if (entry.path().filename() != "OPTIM.TXT") files.push_back(entry.path());
  }
  return files;
}

class ReferenceIdentity : public ::testing::TestWithParam<std::string> {};

TEST_P(ReferenceIdentity, ResultAndCurvesEqualTheReferenceOnOneAndTwoThreads) {
  const std::string job = GetParam();
  const std::vector<fs::path> reference = ReferenceFiles(job);
  ASSERT_GE(reference.size(), 3u);  // the result and at least two curve files
  std::string firstOut;
  for (int threads : {1, 2}) {
    SCOPED_TRACE(job + " on " + std::to_string(threads) + " thread(s)");
    TempDir dir;
    CopyJob(job, dir.path());
    ::setenv("OMP_NUM_THREADS", std::to_string(threads).c_str(), 1);  // read by the program
    const ProcessRun run = RunSoilcal((dir.path() / "OPTIM.TXT").string(), dir.path());
    ::unsetenv("OMP_NUM_THREADS");
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const fs::path& file : reference) {
      const std::string name = file.filename().string();
      ASSERT_TRUE(fs::exists(dir.path() / name)) << name << " not written";
      std::string expected = ReadFile(file);
      std::string written = dir.Read(name);
      if (name == "Optimization_result.txt") {
        expected = WithoutTimingLines(expected);
        written = WithoutTimingLines(written);
      }
      EXPECT_EQ(written, expected) << name;
    }
    // Standard output (the progress of the search) does not depend on the
    // number of threads either.
    if (threads == 1) {
      firstOut = run.out;
    } else {
      EXPECT_EQ(run.out, firstOut);
    }
  }
}

// The sanitizer build runs the quick jobs only.
#if defined(__SANITIZE_ADDRESS__)
const std::vector<std::string> kJobs = {"sand_triaxial", "sand_triaxial_i2"};
#else
const std::vector<std::string> kJobs = {"sand_triaxial",  "sand_triaxial_i2", "soft_clay",
                                        "udsm_job",       "hardening_soil",   "hardening_soil_i2"};
#endif

std::string JobName(const ::testing::TestParamInfo<std::string>& job) { return job.param; }

INSTANTIATE_TEST_SUITE_P(ExampleJobs, ReferenceIdentity, ::testing::ValuesIn(kJobs), JobName);

}  // namespace
}  // namespace soilcal::testing
