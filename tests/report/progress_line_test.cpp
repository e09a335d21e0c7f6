// The progress line appears on standard error only when that is a terminal,
// and it leaves standard output as it is.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

struct PtyRun {
  int status = -1;
  std::string terminal;  // what the program wrote to the terminal
};

// Runs soilcal on `argument` in `folder` with standard error on a
// pseudo-terminal and standard output into `stdoutFile`.
PtyRun RunOnTerminal(const std::string& argument, const fs::path& folder, const fs::path& stdoutFile) {
  PtyRun r;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return r;
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int out = open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) _exit(127);
    dup2(out, STDOUT_FILENO);
    const std::string program = BuildPath("soilcal");
    execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  char buffer[4096];
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 120000) <= 0) break;
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has gone
    r.terminal.append(buffer, static_cast<std::size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(ProgressLine, ShownOnATerminalOnlyAndStandardOutputUnchanged) {
  TempDir plain, tty;
  for (const TempDir* d : {&plain, &tty}) CopyExample("sand_triaxial", d->path());
  const ProcessRun piped = RunSoilcal("OPTIM.TXT", plain.path());
  ASSERT_EQ(piped.exitStatus, 0);
  EXPECT_EQ(piped.err, "");

  const fs::path out = tty.path() / "stdout.txt";
  const PtyRun run = RunOnTerminal("OPTIM.TXT", tty.path(), out);
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(out), piped.out);
  const std::string& t = run.terminal;
  // Every phase of the run, in order, with its counts.
  std::size_t previous = 0;
  for (const char* phase : {"reference run | 0 evaluations", "starting points | 1 evaluations",
                            "iteration 3 |", "sensitivities |", "final run |"}) {
    const std::size_t at = t.find(phase);
    ASSERT_NE(at, std::string::npos) << phase << "\n" << t;
    EXPECT_GE(at, previous) << phase;
    previous = at;
  }
  EXPECT_NE(t.find("best error 6.078 %"), std::string::npos) << t;
  EXPECT_NE(t.find("(tolerance 1.00e-03)"), std::string::npos) << t;
}

}  // namespace
}  // namespace soilcal::testing
