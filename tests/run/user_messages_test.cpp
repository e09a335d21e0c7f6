// The program as a user meets it: options, the exit status, the lines on
// standard error, likely mistakes, the spelling of the argument and a stale
// abort file. Every job here is a copy of an example in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

ProcessRun Soilcal(const std::vector<std::string>& args, const fs::path& dir) {
  return RunProcess(BuildPath("soilcal"), args, dir);
}

double ExitCodeOf(const fs::path& dir) {
  const ResultFile result = ParseResultFile(ReadFile(dir / "Optimization_result.txt"));
  return KeyValue(result, "General", "Exit Code");
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The warnings on standard error other than those of the run's verdict
// (which the summary lists among its warnings but not its input warnings).
std::vector<std::string> WarningsBeforeTheRun(const std::string& err, const fs::path& dir) {
  const auto summary = nlohmann::json::parse(ReadFile(dir / "calibration_summary.json"));
  std::set<std::string> input, verdict;
  for (const auto& w : summary["input_warnings"]) input.insert(w["text"].get<std::string>());
  for (const auto& w : summary["warnings"]) {
    if (!input.count(w["text"].get<std::string>())) verdict.insert(w["text"].get<std::string>());
  }
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(err)) {
    if (line.rfind("soilcal: warning: ", 0) == 0 && !verdict.count(line.substr(18))) {
      out.push_back(line.substr(18));
    }
  }
  return out;
}

TEST(UserMessages, HelpAndVersionPrintAndRunNothing) {
  TempDir dir;
  const ProcessRun help = Soilcal({"--help", "OPTIM.TXT"}, dir.path());
  EXPECT_EQ(help.exitStatus, 0);
  for (const char* part : {"do_opti", "AbortCalc", "toggles", "Optimization_result.txt",
                           "--exit-status", "--version", "--search=thorough"}) {
    EXPECT_TRUE(Has(help.out, part)) << part;
  }
  const ProcessRun version = Soilcal({"--version"}, dir.path());
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.rfind("soilcal ", 0), 0u);
  const ProcessRun labtest =
      RunProcess(BuildPath("soilcal-labtest"), {"--version"}, dir.path());
  EXPECT_EQ(labtest.exitStatus, 0);
  EXPECT_EQ(labtest.out.substr(0, 16), "soilcal-labtest ");
  EXPECT_EQ(labtest.out.substr(16), version.out.substr(8));  // one version for both
  EXPECT_TRUE(fs::is_empty(dir.path()));                     // no result file
}

TEST(UserMessages, ExitStatusOptionGivesTheOutcomeAndRunErrorsSayWhy) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const std::string optim = (dir.path() / "OPTIM.TXT").string();
  // Success; an unknown option is reported and changes nothing.
  const ProcessRun ok = Soilcal({"--colour", "--exit-status", optim}, dir.path());
  EXPECT_EQ(ok.exitStatus, 0);
  EXPECT_EQ(ExitCodeOf(dir.path()), 0);
  EXPECT_EQ(WarningsBeforeTheRun(ok.err, dir.path()),
            std::vector<std::string>{"unknown option --colour ignored (see soilcal --help)"});

  // Each fault in a fresh copy: a tolerance that is not a number (the file,
  // the line and the text), a zero one that would never converge, a missing
  // curve file (the file and the folder), a kernel error (model 18: the
  // message box, a line of its own, status 1).
  const struct {
    const char* file;
    const char* from;  // nullptr: the file is removed
    const char* to;
    int status;
    std::string says;
  } faults[] = {
      {"OPTIM.TXT", "0.001", "0.0o1", 12, "soilcal: OPTIM.TXT line 3: \"0.0o1\" is not a number"},
      {"OPTIM.TXT", "0.001", "0", 12, "convergence tolerance 0 is not a positive number"},
      {"Q_EPS.TXT", nullptr, nullptr, 10, "soilcal: curve file Q_EPS.TXT not found in "},
      {"TRIAX1.VLT", "\nMaterial\n2\n", "\nMaterial\n18\n", 1,
       "rIroVuzu3: Still need fill_proprj_2d\nsoilcal: the run ended with a kernel error"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.says);
    TempDir job;
    CopyExample("sand_triaxial", job.path());
    if (fault.from == nullptr) {
      fs::remove(job.path() / fault.file);
    } else {
      std::string text = job.Read(fault.file);
      text.replace(text.find(fault.from), std::string(fault.from).size(), fault.to);
      job.Write(fault.file, text);
    }
    const std::string argument = (job.path() / "OPTIM.TXT").string();
    const ProcessRun run = Soilcal({"--exit-status", argument}, job.path());
    EXPECT_EQ(run.exitStatus, fault.status);
    EXPECT_TRUE(Has(run.err, fault.says)) << run.err;
    if (fault.status == 10) {
      EXPECT_TRUE(Has(run.err, job.path().string())) << run.err;
    }
    if (fault.says.find("0.0o1") == std::string::npos) continue;
    EXPECT_TRUE(Has(run.err, "(exit code 12, NO_OPTIMIZATION_INPUT_FILE)")) << run.err;
    // Without the option the status stays 0, the result file says 12.
    EXPECT_EQ(Soilcal({argument}, job.path()).exitStatus, 0);
    EXPECT_EQ(ExitCodeOf(job.path()), 12);
  }
}

// No starting point can be simulated: the most frequent reason is named.
TEST(UserMessages, SearchWithoutUsablePointsNamesTheMostFrequentReason) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  dir.Write("OPTIM.TXT",
            "2\n1\n0.001\n1\n2\n5000 60000\n0.5 0.6\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
  const ProcessRun run = Soilcal({"--exit-status", "OPTIM.TXT"}, dir.path());
  EXPECT_EQ(run.exitStatus, 8);
  EXPECT_TRUE(Has(run.err,
                  "most frequent reason: Poisson's ratio outside 0..0.49999 (10001 of "
                  "10001 failed points)"))
      << run.err;
}

TEST(UserMessages, LikelyMistakesWarnAndLeaveTheRunAsItIs) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const ProcessRun clean = Soilcal({"OPTIM.TXT"}, dir.path());
  const std::string cleanResult = ReadFile(dir.path() / "Q_EPS.TXT_calculated");
  EXPECT_TRUE(WarningsBeforeTheRun(clean.err, dir.path()).empty()) << clean.err;

  // sin phi bounds in degrees-like numbers, a start value outside its bounds,
  // a decimal comma in the Gref bounds, and a stale abort file.
  dir.Write("OPTIM.TXT",
            "2\n1\n0.001\n1\n3\n5000 60000\n20 40\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
  ProcessRun run = Soilcal({"OPTIM.TXT"}, dir.path());
  EXPECT_TRUE(Has(run.err, "warning: slot 3 (phi) holds a sine, but its bounds are 20 and 40"))
      << run.err;
  EXPECT_TRUE(Has(run.err,
                  "warning: slot 3 (phi): the start value 0.5 of the test files lies "
                  "outside the bounds 20 and 40"))
      << run.err;

  dir.Write("OPTIM.TXT",
            "2\n1\n0,001\n1\n3\n5000 60000\n0.4 0.72\n1\nTRIAX1.VLT 2\nQ_EPS.TXT\nEV_EPS.TXT\n");
  run = Soilcal({"OPTIM.TXT"}, dir.path());
  EXPECT_TRUE(Has(run.err, "warning: OPTIM.TXT line 3: \"0,001\" looks like a decimal comma"))
      << run.err;

  fs::copy_file(SourcePath("examples/sand_triaxial/OPTIM.TXT"), dir.path() / "OPTIM.TXT",
                fs::copy_options::overwrite_existing);
  dir.Write("AbortCalc", "");
  run = Soilcal({"OPTIM.TXT"}, dir.path());
  EXPECT_TRUE(Has(run.err, "warning: the abort file AbortCalc exists already")) << run.err;
  // The abort watch looks at most every 100 ms, so a search this quick may
  // end before its first look; either way the result file is complete.
  const double code = ExitCodeOf(dir.path());
  EXPECT_TRUE(code == 18 || code == 0) << code;
  fs::remove(dir.path() / "AbortCalc");

  // The warnings changed nothing: the same job gives the same curves.
  const ProcessRun again = Soilcal({"OPTIM.TXT"}, dir.path());
  EXPECT_TRUE(WarningsBeforeTheRun(again.err, dir.path()).empty()) << again.err;
  EXPECT_EQ(ReadFile(dir.path() / "Q_EPS.TXT_calculated"), cleanResult);
}

// The user's own spelling wins over the upper-cased one when both exist.
TEST(UserMessages, ArgumentIsTakenAsWrittenBeforeItsUpperCase) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path() / "case" / "run");
  CopyExample("sand_triaxial", dir.path() / "CASE" / "RUN");
  EXPECT_EQ(Soilcal({"case/run/OPTIM.TXT"}, dir.path()).exitStatus, 0);
  EXPECT_TRUE(fs::exists(dir.path() / "case/run/Optimization_result.txt"));
  EXPECT_FALSE(fs::exists(dir.path() / "CASE/RUN/Optimization_result.txt"));
  // Lower case that exists nowhere as written still finds the upper-case job.
  fs::remove_all(dir.path() / "case");
  EXPECT_EQ(Soilcal({"case/run/optim.txt"}, dir.path()).exitStatus, 0);
  EXPECT_EQ(ExitCodeOf(dir.path() / "CASE/RUN"), 0);
}

// A Hardening Soil job whose K0nc asks for the default 1 - sin phi: the
// reference run completes it, and the search starts from that.
TEST(UserMessages, DefaultK0ncOfTheReferenceRunCarriesIntoTheSearch) {
  TempDir dir;
  CopyExample("hardening_soil", dir.path());
  dir.Write("OPTIM.TXT",
            "2\n1\n0.01\n40\n3\n10000 40000\n0.3 0.7\n1\nTRIAX100.VLT 1\nQ_EPS_100.TXT\n");
  std::string test = ReadFile(dir.path() / "TRIAX100.VLT");
  std::size_t at = 0;
  for (int line = 1; line < 59; ++line) at = test.find('\n', at) + 1;  // slot 39 is line 59
  test.replace(at, test.find('\n', at) - at, "-1");
  dir.Write("TRIAX100.VLT", test);
  const ProcessRun run = Soilcal({"--exit-status", "OPTIM.TXT"}, dir.path());
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.path() / "Q_EPS_100.TXT_calculated"));
}

}  // namespace
}  // namespace soilcal::testing
