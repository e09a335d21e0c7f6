// A user's data is never lost: simulated curves go beside their measured
// files whatever the length of the folder path, an interrupted search still
// leaves a complete result and its curves (a second interrupt ending the
// process at once is tested with the handler itself, in services), and a
// killed run leaves nothing of an earlier run that looks finished.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

const char* const kMeasured[] = {"OPTIM.TXT", "TRIAX1.VLT", "Q_EPS.TXT", "EV_EPS.TXT"};

void CopySand(const fs::path& to) { CopyExample("sand_triaxial", to); }

// Runs the sand job in `folder` (given as an absolute path) and checks that
// the input files are untouched and every output lies beside them.
void ExpectCurvesBesideUntouchedInputs(const fs::path& folder) {
  const fs::path example = SourcePath("examples/sand_triaxial");
  const auto run = RunSoilcal((folder / "OPTIM.TXT").string(), fs::temp_directory_path());
  EXPECT_EQ(run.exitStatus, 0);
  for (const char* name : kMeasured) {
    EXPECT_EQ(ReadFile(folder / name), ReadFile(example / name)) << name;
  }
  for (const char* curve : {"Q_EPS.TXT", "EV_EPS.TXT"}) {
    for (const char* suffix : {"_referenced", "_calculated"}) {
      const fs::path out = folder / (std::string(curve) + suffix);
      ASSERT_TRUE(fs::exists(out)) << out;
      EXPECT_EQ(ReadFile(out).rfind(curve[0] == 'Q' ? " -14 5\n" : " -14 -6\n", 0), 0u) << out;
    }
  }
  EXPECT_NE(ReadFile(folder / "Optimization_result.txt").find("Exit Code = 0"), std::string::npos);
  // Nothing was written into the parent folder.
  for (const auto& entry : fs::directory_iterator(folder.parent_path())) {
    EXPECT_TRUE(entry.is_directory()) << entry.path();
  }
}

TEST(DataSafety, LongFolderPathsKeepMeasuredFilesAndWriteCurvesBesideThem) {
  TempDir dir;
  // A folder path of 200 characters.
  const std::string base = dir.path().string() + "/";
  fs::path deep = dir.path() / std::string(90, 'a');
  deep /= std::string(200 - base.size() - 91 - 1, 'b');
  ASSERT_EQ(deep.string().size() + 1, 200u);
  CopySand(deep);
  ExpectCurvesBesideUntouchedInputs(deep);

  // A folder path whose length makes an 80-character cut of
  // "<folder>Q_EPS.TXT_referenced" fall exactly on the measured file's name.
  fs::path exact = dir.path() / std::string(71 - base.size() - 1, 'c');
  ASSERT_EQ(exact.string().size() + 1 + std::string("Q_EPS.TXT").size(), 80u);
  CopySand(exact);
  ExpectCurvesBesideUntouchedInputs(exact);
}

// The sand job's optimisation file with a tolerance that never converges:
// the search goes on until it is stopped.
void WriteEndlessSand(const TempDir& dir) {
  dir.Write("OPTIM.TXT",
            "2\n1\n1e-300\n1\n3\n5000 60000\n0.4 0.72\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
}

// Starts soilcal --exit-status on the job, waits for the first progress line
// of the search on standard output, then sends `signo`.
int SignalSearch(const TempDir& dir, int signo, std::string& err) {
  BackgroundProcess run(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, dir.path());
  if (run.WaitFor(" ERROR = ")) run.Signal(signo);
  const int status = run.Wait();
  err = run.err();
  return status;
}

// Ctrl-C, SIGTERM and SIGHUP (the terminal closed) all end the search like
// the abort file.
TEST(DataSafety, InterruptEndsTheSearchLikeTheAbortFile) {
  for (int signo : {SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    TempDir dir;
    CopySand(dir.path());
    WriteEndlessSand(dir);
    std::string err;
    EXPECT_EQ(SignalSearch(dir, signo, err), 18) << err;
    EXPECT_NE(err.find("soilcal: interrupted"), std::string::npos) << err;
    const std::string result = dir.Read("Optimization_result.txt");
    EXPECT_NE(result.find(" Exit Code = 18\n USER_ABORT = 18\n"), std::string::npos) << result;
    EXPECT_NE(result.find(" [Relative Sensitivity]\n Gref = -1\n phi = -1\n"), std::string::npos)
        << result;
    EXPECT_EQ(result.find("Gref = 0\n"), std::string::npos);  // a real best point, past the start
    for (const char* curve : {"Q_EPS.TXT_calculated", "EV_EPS.TXT_calculated"}) {
      EXPECT_GT(fs::file_size(dir.path() / curve), 100u) << curve;
    }
  }
}

// A run killed outright leaves an empty result file and nothing of the
// previous run that could pass for its outcome; the next run is not kept
// out by the lock of the killed one.
TEST(DataSafety, KilledRunLeavesNoFinishedLookingFilesOfAnEarlierRun) {
  TempDir dir;
  CopySand(dir.path());
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", dir.path()).exitStatus, 0);
  const char* const companions[] = {"calibration_summary.json", "calibration_report.html",
                                    "Q_EPS.TXT_calculated", "EV_EPS.TXT_calculated"};
  for (const char* name : companions) ASSERT_TRUE(fs::exists(dir.path() / name)) << name;

  WriteEndlessSand(dir);
  std::string err;
  EXPECT_EQ(SignalSearch(dir, SIGKILL, err), 128 + SIGKILL);
  EXPECT_EQ(dir.Read("Optimization_result.txt"), "");
  for (const char* name : companions) EXPECT_FALSE(fs::exists(dir.path() / name)) << name;
  // The reference run of the killed run is its own, complete.
  EXPECT_EQ(dir.Read("Q_EPS.TXT_referenced").rfind(" -14 5\n", 0), 0u);

  fs::copy_file(SourcePath("examples/sand_triaxial/OPTIM.TXT"), dir.path() / "OPTIM.TXT",
                fs::copy_options::overwrite_existing);
  const ProcessRun again = RunSoilcal("OPTIM.TXT", dir.path());
  EXPECT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_NE(dir.Read("Optimization_result.txt").find(" Exit Code = 0\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.path() / ".soilcal.lock"));
}

}  // namespace
}  // namespace soilcal::testing
