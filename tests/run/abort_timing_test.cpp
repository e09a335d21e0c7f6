// The program stops a running search soon after the abort file appears or
// Ctrl-C arrives, on one thread and on two: the parallel batch does not run
// to its end first. The run still ends with exit code 18 and its files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A search of many seconds: intensity 3 (batches of 90 line searches of 15
// evaluations) on a 5000-step triaxial test (a few ms per evaluation).
void WriteLongJob(const TempDir& dir) {
  const MohrCoulombSoil truth = Soil(12000.0, 0.5);
  dir.Write("TRIAX.VLT", MakeLabTestFile(LabTest(2, MohrCoulombParams(Soil(8000.0, 0.4)), 100.0,
                                                 {TriaxialPhase(-0.05, 5000)})));
  dir.Write("Q.TXT", MakeCurveFile(-14, 5, {MeasuredDeviator(truth, 100.0)}));
  OptimisationFileDesc opt = GrefAndPhi(3);
  opt.tolerance = 1e-12;
  opt.tests = {{"TRIAX.VLT", {"Q.TXT"}}};
  dir.Write("OPTIM.TXT", MakeOptimisationFile(opt));
}

pid_t StartSoilcal(const fs::path& dir, int threads) {
  const std::string program = BuildPath("soilcal");
  const std::string optim = (dir / "OPTIM.TXT").string();
  const std::string threadCount = std::to_string(threads);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("OMP_NUM_THREADS", threadCount.c_str(), 1);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::alarm(120);
    ::execl(program.c_str(), program.c_str(), "--exit-status", optim.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

TEST(AbortTiming, AbortFileAndCtrlCEndTheRunWithinHalfASecondOnOneAndTwoThreads) {
  for (bool byFile : {true, false}) {
    for (int threads : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << (byFile ? "abort file" : "SIGINT") << ", " << threads
                                        << " thread(s)");
      TempDir dir;
      WriteLongJob(dir);
      const pid_t pid = StartSoilcal(dir.path(), threads);
      ASSERT_GT(pid, 0);
      // Past the reference run and the starting points, inside the line
      // searches of the first iteration.
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const auto requested = Clock::now();
      if (byFile) {
        dir.Write("AbortCalc", "");
      } else {
        ::kill(pid, SIGINT);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      const double seconds = std::chrono::duration<double>(Clock::now() - requested).count();
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 18);
      // 100 ms between looks for the file, the evaluation under way (a few
      // ms), then the result, the curves, the summary and the report, each
      // a simulation or less; the batch of 1350 evaluations of an iteration
      // takes seconds.
      EXPECT_LT(seconds, 0.5);
      const ResultFile result = ParseResultFile(dir.Read("Optimization_result.txt"));
      EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18.0);
      EXPECT_EQ(KeyValue(result, "Relative Sensitivity", "Gref"), -1.0);
    }
  }
}

}  // namespace
}  // namespace soilcal::acceptance
