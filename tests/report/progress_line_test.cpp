// The progress line appears on standard error only when that is a terminal,
// leaves standard output as it is, and fits the terminal's width: on 80
// columns every line of the screen is one whole line of output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "optimisation/progress.hpp"
#include "run/progress_line.hpp"
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
// pseudo-terminal of `columns` columns and standard output into `stdoutFile`
// (onto the terminal too when none is given).
PtyRun RunOnTerminal(const std::string& argument, const fs::path& folder, const fs::path& stdoutFile,
                     unsigned short columns) {
  PtyRun r;
  int master = -1;
  winsize size{};
  size.ws_row = 40;
  size.ws_col = columns;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) return r;
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (!stdoutFile.empty()) {
      const int out = open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0) _exit(127);
      dup2(out, STDOUT_FILENO);
    }
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
  EXPECT_EQ(piped.err.find('\033'), std::string::npos);  // the summary, no progress line

  const fs::path out = tty.path() / "stdout.txt";
  const PtyRun run = RunOnTerminal("OPTIM.TXT", tty.path(), out, 200);
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

// A terminal's screen after the bytes a program wrote: carriage return, line
// feed, erase to the end of the line (ESC [ K), cursor up (ESC [ A) and
// automatic wrapping at the last column. Rows a wrap continued are marked.
struct Screen {
  explicit Screen(std::size_t columns) : columns(columns) {}

  void Write(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (c == '\r') {
        col = 0;
      } else if (c == '\n') {
        Down(false);
      } else if (c == '\033' && i + 2 < bytes.size() && bytes[i + 1] == '[') {
        if (bytes[i + 2] == 'K') Row().resize(std::min(Row().size(), col));
        if (bytes[i + 2] == 'A' && row > 0) --row;
        i += 2;
      } else if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
        Row()[col - 1] += c;  // continues the code point just written
      } else {
        if (col == columns) {
          Down(true);
          col = 0;
        }
        if (Row().size() <= col) Row().resize(col + 1, " ");
        Row()[col++] = std::string(1, c);
      }
    }
  }
  // The lines as the program wrote them: wrapped rows joined.
  std::vector<std::pair<std::string, bool>> Lines() const {
    std::vector<std::pair<std::string, bool>> out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      std::string text;
      for (const std::string& cell : rows[r]) text += cell;
      if (r < wrapped.size() && wrapped[r] && !out.empty()) {
        out.back().first += text;
        out.back().second = true;
      } else {
        out.emplace_back(text, false);
      }
    }
    return out;
  }

  std::size_t columns;
  std::size_t row = 0, col = 0;
  std::vector<std::vector<std::string>> rows{1};
  std::vector<bool> wrapped{false};

 private:
  std::vector<std::string>& Row() { return rows[row]; }
  void Down(bool wrap) {
    ++row;
    if (rows.size() <= row) {
      rows.resize(row + 1);
      wrapped.resize(row + 1, false);
    }
    if (wrap) wrapped[row] = true;
  }
};

bool IsProgress(const std::string& line) {
  for (const char* phase : {"reference run", "starting points", "iteration ", "sensitivities", "final run",
                            "uncertainty"}) {
    if (line.rfind(phase, 0) == 0) return true;
  }
  return false;
}

TEST(ProgressLine, FitsAnEightyColumnTerminalAndLeavesNothingBehind) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  // Standard output and error on one terminal of 80 columns, as in a shell.
  const PtyRun run = RunOnTerminal("OPTIM.TXT", dir.path(), "", 80);
  ASSERT_EQ(run.status, 0);
  // Every redraw ("ESC[K text ESC[A") fits 79 columns.
  int redraws = 0;
  for (std::size_t at = run.terminal.find("\033[K"); at != std::string::npos;
       at = run.terminal.find("\033[K", at + 1)) {
    const std::size_t end = run.terminal.find("\033[A", at);
    if (end == std::string::npos || end != run.terminal.find('\033', at + 3)) continue;
    const std::string text = run.terminal.substr(at + 3, end - at - 3);
    const auto columns = std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_LE(columns, 79) << text;
    ++redraws;
  }
  EXPECT_GT(redraws, 5);

  Screen screen(80);
  screen.Write(run.terminal);
  int progress = 0;
  for (const auto& [line, wrapped] : screen.Lines()) {
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    if (IsProgress(line)) {
      // The last state stays, whole: no wrap, nothing of another line in it.
      ++progress;
      EXPECT_FALSE(wrapped) << line;
      EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
      EXPECT_EQ(line.find("soilcal:"), std::string::npos) << line;
      EXPECT_EQ(line.substr(line.size() - 2), " s") << line;
      continue;
    }
    const bool known = line.rfind(" Header line ", 0) == 0 || line.rfind(" ERROR = ", 0) == 0 ||
                       line.rfind("soilcal: ", 0) == 0;
    EXPECT_TRUE(known) << "left on the screen: \"" << line << "\"";
  }
  EXPECT_EQ(progress, 1);  // the final state, above the summary
}

// The machine-readable line names every phase of a run, the uncertainty
// step's profiles and the writing included, and carries the counts of the
// profiles.
TEST(ProgressJson, NamesEveryPhaseAndTheProfilesCounts) {
  using optimisation::SearchPhase;
  const SearchPhase phases[] = {SearchPhase::kReferenceRun, SearchPhase::kStartingPoints,
                                SearchPhase::kIterations,   SearchPhase::kSensitivities,
                                SearchPhase::kFinalRun,     SearchPhase::kUncertainty,
                                SearchPhase::kProfiles,     SearchPhase::kWriting};
  for (const SearchPhase phase : phases) {
    optimisation::SearchProgress p;
    p.phase = phase;
    p.done = 3;
    p.total = 8;
    const nlohmann::json line = nlohmann::json::parse(run::ProgressJson(p));
    const std::string name = line.at("progress").at("phase").get<std::string>();
    EXPECT_FALSE(name.empty()) << line.dump();
    EXPECT_EQ(name, optimisation::PhaseName(phase));
    EXPECT_EQ(line.at("progress").at("done"), 3);
    EXPECT_EQ(line.at("progress").at("total"), 8);
  }
}

}  // namespace
}  // namespace soilcal::testing
