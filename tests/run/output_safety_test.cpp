// Outputs that never lie, through the real program: a full disk, a file
// size limit, a read-only folder, a file named "nul", closed standard
// streams and a reader of standard output that goes away. Every output is
// either the whole file a normal run writes or absent, every failure is said
// on standard error, and --exit-status turns it into a non-zero status.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

const char* const kInputs[] = {"OPTIM.TXT", "TRIAX1.VLT", "Q_EPS.TXT", "EV_EPS.TXT"};
// Status of a run that succeeded but could not write an output (EX_IOERR).
constexpr int kOutputNotWritten = 74;

void CopySandInputs(const fs::path& to) {
  fs::create_directories(to);
  for (const char* name : kInputs) {
    fs::copy_file(SourcePath("examples/sand_triaxial/") + name, to / name,
                  fs::copy_options::overwrite_existing);
  }
}

bool IsInput(const std::string& name) {
  for (const char* input : kInputs) {
    if (name == input) return true;
  }
  return false;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// In a child process with its own mount namespace: `mount` prepares the
// mounts (false when it cannot), then `work` runs and leaves what the parent
// needs in ordinary folders. nullopt when the mounts could not be made here
// (not root, no namespaces).
std::optional<int> InPrivateMounts(const std::function<bool()>& mount,
                                   const std::function<int()>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::unshare(CLONE_NEWNS) != 0) ::_exit(200);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(200);
    if (!mount()) ::_exit(200);
    ::_exit(work());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  if (WEXITSTATUS(status) == 200) return std::nullopt;
  return WEXITSTATUS(status);
}

// Fills the file system of `folder` until only `freeBytes` are left (0: full).
void Fill(const fs::path& folder, std::size_t freeBytes) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return;
  const std::size_t available = vfs.f_bavail * vfs.f_bsize;
  std::string filler(available > freeBytes ? available - freeBytes : 0, 'x');
  if (freeBytes == 0) filler += std::string(1 << 16, 'x');  // past the end: ENOSPC
  WriteFile(folder / "filler", filler);
}

// A run of the sand job on a tmpfs left with `freeBytes`: the files it left
// are copied to `copy` with "stdout", "stderr" and "status" beside them.
std::optional<ProcessRun> RunOnSmallDisk(const fs::path& root, std::size_t freeBytes,
                                         const fs::path& copy) {
  const fs::path disk = root / "disk";
  fs::create_directories(disk);
  fs::create_directories(copy);
  const auto done = InPrivateMounts(
      [&] { return ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=128k") == 0; },
      [&] {
        CopySandInputs(disk);
        Fill(disk, freeBytes);
        const ProcessRun run =
            RunProcess(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, disk);
        for (const auto& entry : fs::directory_iterator(disk)) {
          if (entry.path().filename() != "filler") {
            fs::copy_file(entry.path(), copy / entry.path().filename());
          }
        }
        WriteFile(copy / "stdout", run.out);
        WriteFile(copy / "stderr", run.err);
        WriteFile(copy / "status", std::to_string(run.exitStatus));
        return 0;
      });
  if (!done) return std::nullopt;
  ProcessRun run;
  if (*done != 0) return run;  // the child failed: exit status -1
  run.out = ReadFile(copy / "stdout");
  run.err = ReadFile(copy / "stderr");
  run.exitStatus = std::stoi("0" + ReadFile(copy / "status"));
  for (const char* name : {"stdout", "stderr", "status"}) fs::remove(copy / name);
  return run;
}

// The run in `dir` against a normal run in `normal`: each output there is
// whole (a curve or result file the normal run's bytes, the summary and the
// report complete), each one missing or empty is named on standard error
// with `cause`, no temporary file is left, and the result is on standard
// output when the result file could not be written.
void ExpectWholeOrSaid(const fs::path& dir, const ProcessRun& run, const fs::path& normal,
                       const std::string& cause) {
  EXPECT_EQ(run.exitStatus, kOutputNotWritten) << run.err;
  for (const auto& entry : fs::directory_iterator(normal)) {
    const std::string name = entry.path().filename().string();
    if (IsInput(name)) continue;
    SCOPED_TRACE(name);
    const std::string expected = ReadFile(entry.path());
    const std::string written = ReadFile(dir / name);
    if (written.empty()) {
      EXPECT_TRUE(Has(run.err, "soilcal: cannot write ")) << run.err;
      EXPECT_TRUE(Has(run.err, name + ": " + cause)) << run.err;
    } else if (name == "Optimization_result.txt") {
      EXPECT_EQ(WithoutTimingLines(written), WithoutTimingLines(expected));
    } else if (name == "calibration_summary.json") {
      EXPECT_EQ(written.substr(written.size() - 2), "}\n");
    } else if (name == "calibration_report.html") {
      EXPECT_EQ(written.substr(written.size() - 8), "</html>\n");
    } else {
      EXPECT_EQ(written, expected);
    }
  }
  if (ReadFile(dir / "Optimization_result.txt").empty()) {
    EXPECT_TRUE(Has(run.err, "Optimization_result.txt: " + cause +
                                 "; the result follows on standard output"))
        << run.err;
    EXPECT_TRUE(Has(run.out, " Exit Code = 0\n")) << run.out;
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
  }
}

TEST(OutputSafety, FullDiskIsSaidAndNoOutputIsCut) {
  TempDir root;
  const fs::path normal = root.path() / "normal";
  CopySandInputs(normal);
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", normal).exitStatus, 0);

  // No room at all, then room for two curve files (a tmpfs counts whole
  // pages of 4 kB): the outputs after them find the disk full.
  bool mounted = false;
  for (std::size_t freeBytes : {std::size_t{0}, std::size_t{8192}}) {
    SCOPED_TRACE(freeBytes);
    const fs::path copy = root.path() / ("left" + std::to_string(freeBytes));
    const auto run = RunOnSmallDisk(root.path(), freeBytes, copy);
    if (!run) break;
    mounted = true;
    ExpectWholeOrSaid(copy, *run, normal, "No space left on device");
  }
  if (mounted) return;
  // Without a tmpfs: a file size limit makes writes past 2000 bytes fail
  // with EFBIG (SIGXFSZ ignored), in the real program as on a full disk.
  const fs::path limited = root.path() / "limited";
  CopySandInputs(limited);
  const ProcessRun run =
      RunProcessWith(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, limited, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2000, 2000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      });
  ExpectWholeOrSaid(limited, run, normal, "File too large");
}

// The result file keeps its life (emptied at the start, written at the
// end); a write that fails is said, and the result goes to standard output.
TEST(OutputSafety, ResultThatCannotBeWrittenWhereTheHostLooksIsSaid) {
  TempDir dir;
  CopySandInputs(dir.path());
  const ProcessRun cut =
      RunProcessWith(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, dir.path(), [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};  // below the ~330 bytes of the result
        ::setrlimit(RLIMIT_FSIZE, &limit);
      });
  EXPECT_EQ(cut.exitStatus, kOutputNotWritten) << cut.err;
  EXPECT_TRUE(Has(cut.err, "Optimization_result.txt: File too large; the result follows on "
                           "standard output"))
      << cut.err;
  const ResultFile onStdout = ParseResultFile(cut.out.substr(cut.out.find(" \n [General]")));
  EXPECT_EQ(KeyValue(onStdout, "General", "Exit Code"), 0);
  EXPECT_NEAR(KeyValue(onStdout, "Params", "Gref"), 25650.0, 1.0);  // the fixture's best value

  // A read-only job folder keeps an older result file: the host must hear
  // that it is not this run's. Root writes anywhere, so the folder is made
  // read-only by a read-only mount where one can be made, else (as another
  // user) by its permissions.
  const std::string older = " \n [General]\n Exit Code = 12\n";
  dir.Write("Optimization_result.txt", older);
  const auto saysItIsAnEarlierOne = [](const ProcessRun& run) {
    return run.exitStatus == kOutputNotWritten && Has(run.err, "left from an earlier run") &&
           Has(run.err, "Optimization_result.txt for writing: ") &&
           Has(run.err, "; the result follows on standard output") &&
           Has(run.out, " Exit Code = 0\n");
  };
  const auto done = InPrivateMounts(
      [&] {
        return ::mount(dir.path().c_str(), dir.path().c_str(), nullptr, MS_BIND, nullptr) == 0 &&
               ::mount(nullptr, dir.path().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                       nullptr) == 0;
      },
      [&] {
        const ProcessRun inside =
            RunProcess(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, dir.path());
        return saysItIsAnEarlierOne(inside) && Has(inside.err, "Read-only file system") ? 0 : 1;
      });
  if (done) {
    EXPECT_EQ(*done, 0) << "the read-only run did not say that the result is an earlier one";
  } else {
    if (::geteuid() == 0) GTEST_SKIP() << "root without mount namespaces: no read-only folder";
    fs::permissions(dir.path() / "Optimization_result.txt", fs::perms::owner_read);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const ProcessRun run =
        RunProcess(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, dir.path());
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_TRUE(saysItIsAnEarlierOne(run)) << run.err;
  }
  EXPECT_EQ(dir.Read("Optimization_result.txt"), older);
}

// "nul" is the null device wherever the program meets the name, and a file
// of that name is never opened: without do_opti the diagnostic lines go to
// the null device, not into the user's file.
TEST(OutputSafety, NulIsAlwaysTheNullDevice) {
  TempDir dir;
  CopySandInputs(dir.path());
  dir.Write("nul", "18 bytes of notes\n");
  dir.Write("NUL", "mine too\n");
  EXPECT_EQ(RunSoilcal("OPTIM.TXT", dir.path()).exitStatus, 0);
  EXPECT_EQ(dir.Read("nul"), "18 bytes of notes\n");
  EXPECT_EQ(dir.Read("NUL"), "mine too\n");
  EXPECT_FALSE(fs::exists(dir.path() / "file2"));
}

// A host that starts the program with standard output and error closed: the
// first file opened must not become standard error, or warnings would land
// in the result file. The job has a start value outside its bounds (a
// warning) and the result must read as a result.
TEST(OutputSafety, ClosedStandardStreamsNeverLandInAnOutput) {
  TempDir dir;
  CopySandInputs(dir.path());
  dir.Write("OPTIM.TXT",
            "2\n1\n0.001\n1\n3\n20000 60000\n0.4 0.72\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
  const ProcessRun run = RunProcessWith(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"},
                                        dir.path(), [] {
                                          ::close(STDOUT_FILENO);
                                          ::close(STDERR_FILENO);
                                        });
  EXPECT_EQ(run.exitStatus, 0);
  const std::string result = dir.Read("Optimization_result.txt");
  EXPECT_FALSE(Has(result, "soilcal")) << result;
  EXPECT_FALSE(Has(result, "Header line")) << result;
  EXPECT_TRUE(ParseResultFile(result).badLines.empty()) << result;
  EXPECT_EQ(KeyValue(ParseResultFile(result), "General", "Exit Code"), 0) << result;
}

// `soilcal ... | head -1`: the reader goes away after the first line. The
// writes to the pipe fail and are ignored; the run ends as always.
TEST(OutputSafety, AReaderOfStandardOutputThatGoesAwayNeverEndsTheRun) {
  TempDir dir;
  CopySandInputs(dir.path());
  const ProcessRun run = RunProcessWith(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"},
                                        dir.path(), [] {
                                          int gone[2];
                                          if (::pipe(gone) != 0) ::_exit(125);
                                          ::dup2(gone[1], STDOUT_FILENO);
                                          ::close(gone[0]);  // no reader left
                                          ::close(gone[1]);
                                        });
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  const std::string expected =
      ReadFile(SourcePath("tests/fixtures/reference_runs/sand_triaxial/Optimization_result.txt"));
  EXPECT_EQ(WithoutTimingLines(dir.Read("Optimization_result.txt")),
            WithoutTimingLines(expected));
  EXPECT_EQ(dir.Read("Q_EPS.TXT_calculated"),
            ReadFile(SourcePath("tests/fixtures/reference_runs/sand_triaxial/"
                                "Q_EPS.TXT_calculated")));
}

}  // namespace
}  // namespace soilcal::testing
