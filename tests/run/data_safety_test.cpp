// A user's data is never lost: simulated curves go beside their measured
// files whatever the length of the folder path, and an interrupted search
// still leaves a complete result and its curves (a second interrupt ending
// the process at once is tested with the handler itself, in services).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

struct Interrupted {
  int status = -1;  // exit status, or 128 + signal when killed by one
  std::string err;
};

// Starts soilcal --exit-status on `optim`, waits for the first progress line
// of the search on standard output, then sends SIGINT.
Interrupted InterruptSearch(const fs::path& optim) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const std::string errPath = (optim.parent_path() / "stderr.txt").string();
  const std::string program = BuildPath("soilcal");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    std::FILE* err = std::fopen(errPath.c_str(), "w");
    if (err != nullptr) ::dup2(fileno(err), STDERR_FILENO);
    ::close(out[0]);
    ::alarm(120);
    ::execl(program.c_str(), program.c_str(), "--exit-status", optim.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string seen;
  char buffer[256];
  bool sent = false;
  ssize_t n = 0;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
    seen.append(buffer, static_cast<std::size_t>(n));
    if (!sent && seen.find(" ERROR = ") != std::string::npos) {
      ::kill(pid, SIGINT);
      sent = true;
    }
  }
  ::close(out[0]);
  int status = 0;
  Interrupted result;
  if (::waitpid(pid, &status, 0) == pid) {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  result.err = ReadFile(errPath);
  return result;
}

TEST(DataSafety, InterruptEndsTheSearchLikeTheAbortFile) {
  TempDir dir;
  CopySand(dir.path());
  // A tolerance that never converges keeps the search going until stopped.
  dir.Write("OPTIM.TXT",
            "2\n1\n1e-300\n1\n3\n5000 60000\n0.4 0.72\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
  const Interrupted once = InterruptSearch(dir.path() / "OPTIM.TXT");
  EXPECT_EQ(once.status, 18) << once.err;
  EXPECT_NE(once.err.find("soilcal: interrupted"), std::string::npos) << once.err;
  const std::string result = ReadFile(dir.path() / "Optimization_result.txt");
  EXPECT_NE(result.find(" Exit Code = 18\n USER_ABORT = 18\n"), std::string::npos) << result;
  EXPECT_NE(result.find(" [Relative Sensitivity]\n Gref = -1\n phi = -1\n"), std::string::npos)
      << result;
  EXPECT_EQ(result.find("Gref = 0\n"), std::string::npos);  // a real best point, past the start
  for (const char* curve : {"Q_EPS.TXT_calculated", "EV_EPS.TXT_calculated"}) {
    EXPECT_GT(fs::file_size(dir.path() / curve), 100u) << curve;
  }
}

}  // namespace
}  // namespace soilcal::testing
