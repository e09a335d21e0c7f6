// Fault injection through the real program: every file of the small job
// (job_files.hpp, at tolerance 0.01) in turn missing, empty, cut short, a
// folder, with hostile values, counts, bytes and lines; inputs named like
// the outputs; a second run in a busy folder. Every case must end
// in time with a result file whose exit code is the expected one (or, where
// none is fixed, any run error with its line on standard error), without a
// sanitizer report, and without NaN or Inf in any file the program wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "job_files.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// Runs the program in the job's parent folder; a crash or a hang (killed
// after the shared time limit) gives status -1.
ProcessRun RunWithLimit(const fs::path& dir, const std::string& argument) {
  return RunProcess(BuildPath("soilcal"), {"--exit-status", argument}, dir.parent_path());
}

// The text with the first value of line `line` (1-based) replaced.
std::string WithValue(const std::string& text, std::size_t line, const std::string& value) {
  std::vector<std::string> lines = SplitLines(text);
  if (line == 0 || line > lines.size()) return text;
  std::string& l = lines[line - 1];
  const std::size_t end = l.find_first_of(" ,");
  l = value + (end == std::string::npos ? "" : l.substr(end));
  std::string joined;
  for (const std::string& each : lines) joined += each + "\n";
  return joined;
}

struct Case {
  std::string name;
  std::function<void(const fs::path& dir)> mutate;
  int expected = -1;  // the exit code the case must give; -1 when any outcome is fine
};

bool HoldsNanOrInf(const std::string& text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

// The values (the text after " = ") of the result file's key lines.
std::string ResultValues(const std::string& result) {
  std::string values;
  for (const std::string& line : SplitLines(result)) {
    const auto at = line.find(" = ");
    if (at != std::string::npos) values += line.substr(at + 3) + "\n";
  }
  return values;
}

void CheckCase(const Case& c, const fs::path& root) {
  SCOPED_TRACE(c.name);
  const fs::path dir = root / "job";
  fs::remove_all(dir);
  WriteSmallJob(dir, 0.01);
  c.mutate(dir);
  const ProcessRun run = RunWithLimit(dir, (dir / "OPTIM.TXT").string());
  if (std::getenv("SOILCAL_FAULT_LOG"))
    std::fprintf(stderr, "%s -> %d\n", c.name.c_str(), run.exitStatus);
  ASSERT_GE(run.exitStatus, 0) << "crashed or over the time limit\n" << run.err;
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
  ASSERT_TRUE(fs::is_regular_file(dir / "Optimization_result.txt"));
  const std::string result = ReadFile(dir / "Optimization_result.txt");
  if (run.exitStatus == 1) {
    EXPECT_EQ(result, "");  // a kernel error: empty result file, a line on stderr
  } else {
    EXPECT_EQ(KeyValue(ParseResultFile(result), "General", "Exit Code"), run.exitStatus) << result;
  }
  if (c.expected >= 0) {
    EXPECT_EQ(run.exitStatus, c.expected) << run.err;
  }
  if (run.exitStatus != 0) {
    EXPECT_NE(run.err.find("soilcal: "), std::string::npos) << run.err;
  }
  EXPECT_FALSE(HoldsNanOrInf(ResultValues(result))) << result;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with("_referenced") || name.ends_with("_calculated")) {
      EXPECT_FALSE(HoldsNanOrInf(ReadFile(entry.path()))) << name;
    }
  }
}

void Rewrite(const fs::path& file, const std::function<std::string(std::string)>& change) {
  WriteFile(file, change(ReadFile(file)));
}

std::vector<Case> FileCases(const std::string& file, int missing, int empty) {
  std::vector<Case> cases;
  cases.push_back(
      {file + " missing", [file](const fs::path& d) { fs::remove(d / file); }, missing});
  cases.push_back(
      {file + " empty",
       [file](const fs::path& d) { Rewrite(d / file, [](auto) { return std::string(); }); },
       empty});
  cases.push_back({file + " a folder",
                   [file](const fs::path& d) {
                     fs::remove(d / file);
                     fs::create_directory(d / file);
                   },
                   missing});
  for (double at : {0.001, 0.1, 0.5, 0.9, 0.999}) {
    cases.push_back({file + " cut at " + std::to_string(at), [file, at](const fs::path& d) {
                       Rewrite(d / file, [at](std::string t) {
                         return t.substr(0, static_cast<std::size_t>(at * t.size()));
                       });
                     }});
  }
  cases.push_back({file + " non-UTF-8 bytes", [file](const fs::path& d) {
                     Rewrite(d / file, [](std::string t) {
                       return "\xff\xfe\x80\xc3(" + t.insert(t.size() / 2, "\x80\x81\xfe");
                     });
                   }});
  cases.push_back({file + " over-long line", [file](const fs::path& d) {
                     Rewrite(d / file, [](std::string t) {
                       const std::size_t mid = t.find('\n', t.size() / 2) + 1;
                       return t.insert(mid, std::string(20000, '7') + "\n");
                     });
                   }});
  return cases;
}

void AddValueCases(std::vector<Case>& cases, const std::string& file,
                   const std::vector<std::size_t>& lines, const std::vector<std::string>& values) {
  for (std::size_t line : lines) {
    for (const std::string& value : values) {
      cases.push_back(
          {file + " line " + std::to_string(line) + " = " + value,
           [file, line, value](const fs::path& d) {
             Rewrite(d / file, [line, value](std::string t) { return WithValue(t, line, value); });
           }});
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  cases.push_back({"unchanged", [](const fs::path&) {}, 0});
  for (auto& c : FileCases("OPTIM.TXT", 12, 12)) cases.push_back(c);
  for (auto& c : FileCases("TRIAX1.VLT", 15, 11)) cases.push_back(c);
  for (auto& c : FileCases("Q_EPS.TXT", 10, 11)) cases.push_back(c);
  const std::vector<std::string> reals = {"NaN", "Inf", "1e308", "-1e308", "4.9e-324"};
  const std::vector<std::string> counts = {"-7", "0", "2147483647", "1e9", "-2147483648"};
  // Optimisation file: counts (parameters, intensity, tests), the tolerance,
  // a slot, the bounds.
  AddValueCases(cases, "OPTIM.TXT", {1, 2, 8}, counts);
  AddValueCases(cases, "OPTIM.TXT", {3, 6, 7}, reals);
  AddValueCases(cases, "OPTIM.TXT", {4}, {"0", "256", "2147483647"});
  // Lab-test file: Gref, sin phi, porosity; tolerance, iterations; initial
  // stress; phases, steps, time, strain.
  AddValueCases(cases, "TRIAX1.VLT", {21, 23, 40, 224, 226, 230, 233, 234}, reals);
  AddValueCases(cases, "TRIAX1.VLT", {12, 222, 231, 232}, counts);
  // Curve file: codes, segments, points; the values of a point.
  AddValueCases(cases, "Q_EPS.TXT", {1, 2, 4}, counts);
  AddValueCases(cases, "Q_EPS.TXT", {6, 10}, reals);
  return cases;
}

TEST(FaultInjection, EveryBrokenJobEndsInTimeWithAResultAndItsCause) {
  TempDir root;
  const std::vector<Case> cases = AllCases();
  for (const Case& c : cases) CheckCase(c, root.path());
  RecordProperty("cases", static_cast<int>(cases.size()));
}

TEST(FaultInjection, PathsAndFoldersTheProgramCannotUse) {
  TempDir root;
  // A folder path far beyond the 255 characters of the host's fields.
  fs::path deep = root.path();
  for (int i = 0; i < 4; ++i) deep /= std::string(100, static_cast<char>('p' + i));
  WriteSmallJob(deep, 0.01);
  ProcessRun run = RunWithLimit(deep, (deep / "OPTIM.TXT").string());
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::exists(deep / "Q_EPS.TXT_calculated"));

  // A job folder where nothing can be written: the outcome goes to standard
  // output instead (a folder in place of the result file stops even root).
  const fs::path locked = root.path() / "locked";
  WriteSmallJob(locked, 0.01);
  fs::create_directory(locked / "Optimization_result.txt");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  run = RunWithLimit(locked, (locked / "OPTIM.TXT").string());
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_GE(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find(" Exit Code = "), std::string::npos) << run.out;
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return files;
}

// The small job with one of its files renamed (and the optimisation file's
// line changed to match).
void Rename(const fs::path& dir, const std::string& from, const std::string& to) {
  fs::rename(dir / from, dir / to);
  Rewrite(dir / "OPTIM.TXT", [&](std::string t) {
    const auto at = t.find(from);
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  });
}

// An input named like an output (whatever the case of its name) would be
// replaced: the run stops before it writes anything, says which input and
// which output, and gives its result on standard output only.
TEST(FaultInjection, InputsNamedLikeOutputsStopTheRunBeforeAnythingIsWritten) {
  struct Collision {
    std::string name;
    std::function<void(const fs::path&)> mutate;
    std::string argument;  // the optimisation file as passed
    int expected;
    std::string input;   // named on standard error
    std::string output;  // named on standard error
  };
  const std::vector<Collision> collisions = {
      {"curve named like the summary",
       [](const fs::path& d) { Rename(d, "Q_EPS.TXT", "calibration_summary.json"); }, "OPTIM.TXT",
       10, "OPTIM.TXT line 10: the curve file calibration_summary.json", "calibration summary"},
      {"curve named like the result file in upper case",
       [](const fs::path& d) { Rename(d, "Q_EPS.TXT", "OPTIMIZATION_RESULT.TXT"); }, "OPTIM.TXT",
       10, "the curve file OPTIMIZATION_RESULT.TXT", "Optimization_result.txt"},
      {"curve named like the report in mixed case",
       [](const fs::path& d) { Rename(d, "Q_EPS.TXT", "Calibration_Report.HTML"); }, "OPTIM.TXT",
       10, "the curve file Calibration_Report.HTML", "calibration report"},
      {"curve named like the diagnostic log",
       [](const fs::path& d) {
         Rename(d, "Q_EPS.TXT", "file2");
         WriteFile(d / "do_opti", "");
       },
       "OPTIM.TXT", 10, "the curve file file2", "diagnostic log"},
      {"test file named like a simulated curve",
       [](const fs::path& d) { Rename(d, "TRIAX1.VLT", "q_eps.txt_calculated"); }, "OPTIM.TXT",
       15, "OPTIM.TXT line 9: the lab-test file q_eps.txt_calculated", "Q_EPS.TXT_calculated"},
      {"optimisation file named like the result file",
       [](const fs::path& d) { fs::rename(d / "OPTIM.TXT", d / "Optimization_result.txt"); },
       "Optimization_result.txt", 12, "the optimisation file Optimization_result.txt",
       "the result file"},
  };
  TempDir root;
  for (const Collision& c : collisions) {
    SCOPED_TRACE(c.name);
    const fs::path dir = root.path() / "job";
    fs::remove_all(dir);
    WriteSmallJob(dir, 0.01);
    c.mutate(dir);
    const auto before = Snapshot(dir);
    const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", c.argument}, dir);
    EXPECT_EQ(run.exitStatus, c.expected) << run.err;
    EXPECT_EQ(Snapshot(dir), before);  // not a byte written, removed or added
    EXPECT_NE(run.err.find(c.input), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.output), std::string::npos) << run.err;
    EXPECT_EQ(KeyValue(ParseResultFile(run.out), "General", "Exit Code"), c.expected) << run.out;
  }
}

// One run per job folder: a second run stops at once, names the first and
// leaves the folder to it; once the first has ended the folder is free.
TEST(FaultInjection, SecondRunInAFolderStopsAtOnceAndLeavesTheFirstAlone) {
  TempDir dir;
  WriteSmallJob(dir.path(), 1e-300);
  Rewrite(dir.path() / "OPTIM.TXT", [](std::string t) { return WithValue(t, 2, "3"); });
  // A 400-step test on intensity 3: a search of a minute, so that it is still
  // running when the second run comes, however loaded the machine.
  Rewrite(dir.path() / "TRIAX1.VLT", [](std::string t) {
    const std::size_t phase = t.find("\n20\n", t.find("-100 -100 -100"));
    return phase == std::string::npos ? t : t.replace(phase, 4, "\n400\n");
  });
  BackgroundProcess first(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"}, dir.path());
  ASSERT_TRUE(first.WaitFor(" ERROR = ")) << first.err();

  const ProcessRun second = RunWithLimit(dir.path(), (dir.path() / "OPTIM.TXT").string());
  EXPECT_EQ(second.exitStatus, 12) << second.err;
  EXPECT_NE(second.err.find("soilcal: another run is working in the job folder"),
            std::string::npos)
      << second.err;
  EXPECT_NE(second.err.find("process " + std::to_string(first.pid()) + ", started "),
            std::string::npos)
      << second.err;
  EXPECT_NE(second.out.find(" Exit Code = 12\n"), std::string::npos) << second.out;
  EXPECT_EQ(dir.Read("Optimization_result.txt"), "");  // the first's, emptied at its start
  EXPECT_FALSE(fs::exists(dir.path() / "calibration_summary.json"));

  dir.Write("AbortCalc", "");
  EXPECT_EQ(first.Wait(), 18) << first.err();
  fs::remove(dir.path() / "AbortCalc");
  const ResultFile result = ParseResultFile(dir.Read("Optimization_result.txt"));
  EXPECT_TRUE(result.badLines.empty());
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18);
  EXPECT_EQ(result.sections.size(), 4u);  // General, Params, Objective info, Sensitivity
  EXPECT_FALSE(fs::exists(dir.path() / ".soilcal.lock"));

  // The folder is free for the next run (the small job again).
  WriteSmallJob(dir.path(), 0.01);
  EXPECT_EQ(RunWithLimit(dir.path(), (dir.path() / "OPTIM.TXT").string()).exitStatus, 0);
}

}  // namespace
}  // namespace soilcal::testing
