// Jobs that used to run silently wrong or stop without saying where: each
// now gets a sentence that names the file and the line, and every line on
// standard error begins with the program's name. The small job
// (job_files.hpp) lists TRIAX1.VLT on line 9 and Q_EPS.TXT on line 10; its
// test type is on line 222 of TRIAX1.VLT.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job_files.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFreeBoth = "2\n1\n0.01\n1\n3\n5000 60000\n0.4 0.72\n";

void ExpectEveryLineNamesTheProgram(const std::string& err) {
  for (const std::string& line : SplitLines(err)) {
    EXPECT_EQ(line.rfind("soilcal: ", 0), 0u) << line;
  }
}

// The text with line `line` (1-based) replaced.
std::string WithLine(const std::string& text, std::size_t line, const std::string& value) {
  std::vector<std::string> lines = SplitLines(text);
  if (line >= 1 && line <= lines.size()) lines[line - 1] = value;
  std::string joined;
  for (const std::string& l : lines) joined += l + "\n";
  return joined;
}

struct Hostile {
  std::string name;
  std::function<void(const TempDir&)> spoil;
  int status;                      // under --exit-status
  std::vector<std::string> says;   // on standard error
};

void Check(const Hostile& c, const std::vector<std::string>& options = {}) {
  SCOPED_TRACE(c.name);
  TempDir dir;
  WriteSmallJob(dir.path(), 0.01);
  c.spoil(dir);
  std::vector<std::string> args = options;
  args.insert(args.end(), {"--exit-status", "OPTIM.TXT"});
  const ProcessRun run = RunProcess(BuildPath("soilcal"), args, dir.path());
  EXPECT_EQ(run.exitStatus, c.status) << run.err;
  for (const std::string& part : c.says) {
    EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
  }
  ExpectEveryLineNamesTheProgram(run.err);
}

TEST(HostileJobs, JobsThatWouldRunSilentlyWrongGetASentence) {
  const std::string longStem(80, 'L');  // what both long names below are cut to
  const std::vector<Hostile> cases = {
      {"a slot freed twice",
       [](const TempDir& d) { d.Write("OPTIM.TXT", WithLine(d.Read("OPTIM.TXT"), 5, "1")); }, 13,
       {"soilcal: OPTIM.TXT line 5: slot 1 is freed twice, as free parameters 1 (line 4) and 2",
        "(exit code 13, MAT_PARAM_INDEX_OUTSIDE_RANGE)"}},
      {"a test without curves",
       [](const TempDir& d) {
         d.Write("OPTIM.TXT", std::string(kFreeBoth) + "1\nTRIAX1.VLT 0\n");
       },
       0,
       {"soilcal: warning: OPTIM.TXT line 9: the test TRIAX1.VLT lists no curve file",
        "soilcal: warning: no test of the job has a curve file"}},
      {"a measured curve of zeros",
       [](const TempDir& d) {
         d.Write("Q_EPS.TXT", "-14 5\n1\n0\n3\n0 0\n0.01 0\n0.05 0\n");
       },
       0, {"soilcal: warning: curve file Q_EPS.TXT of test TRIAX1.VLT: every measured y value "
           "is 0"}},
      {"two long curve names cut to one file",
       [&](const TempDir& d) {
         d.Write(longStem, d.Read("Q_EPS.TXT"));
         d.Write("OPTIM.TXT", std::string(kFreeBoth) + "1\nTRIAX1.VLT 2\n" + longStem +
                                  "_DEVIATOR.TXT\n" + longStem + "_VOLUME.TXT\n");
       },
       0,
       {"soilcal: warning: OPTIM.TXT line 10: the curve file name " + longStem +
            "_DEVIATOR.TXT has 93 characters and is cut to its first 80, so the file read is " +
            longStem + "\n",
        "soilcal: warning: OPTIM.TXT line 11: the curve file name " + longStem +
            "_VOLUME.TXT has 91 characters",
        "soilcal: warning: OPTIM.TXT lines 10 and 11 both read the curve file " + longStem +
            " (listed as " + longStem + "_DEVIATOR.TXT and " + longStem + "_VOLUME.TXT"}},
  };
  for (const Hostile& c : cases) Check(c);
}

TEST(HostileJobs, EveryRunErrorNamesItsFileAndLine) {
  const std::string longName(90, 'M');
  const std::vector<Hostile> cases = {
      {"quantity code 99",
       [](const TempDir& d) { d.Write("Q_EPS.TXT", WithLine(d.Read("Q_EPS.TXT"), 1, "99 5")); },
       17, {"soilcal: Q_EPS.TXT line 1: quantity code 99 does not exist"}},
      {"search intensity 4",
       [](const TempDir& d) { d.Write("OPTIM.TXT", WithLine(d.Read("OPTIM.TXT"), 2, "4")); }, 5,
       {"soilcal: OPTIM.TXT line 2: search intensity 4 is not 1"}},
      {"a cavity test",
       [](const TempDir& d) {
         d.Write("TRIAX1.VLT", WithLine(d.Read("TRIAX1.VLT"), 222, "6"));
       },
       16, {"soilcal: TRIAX1.VLT line 222: test type 6 (a cavity test) cannot be simulated"}},
      {"bounds too small for a fixed number of decimals",
       [](const TempDir& d) {
         d.Write("OPTIM.TXT", WithLine(d.Read("OPTIM.TXT"), 6, "2e-5 1e-5"));
       },
       14, {"soilcal: OPTIM.TXT line 6: upper bound 1e-05 below lower bound 2e-05"}},
      {"no tests",
       [](const TempDir& d) { d.Write("OPTIM.TXT", std::string(kFreeBoth) + "0\n"); }, 8,
       {"soilcal: OPTIM.TXT line 8: the job lists no laboratory test"}},
      {"a missing lab-test file",
       [](const TempDir& d) { fs::remove(d.path() / "TRIAX1.VLT"); }, 15,
       {"soilcal: lab-test file TRIAX1.VLT not found in ", "; it is listed in OPTIM.TXT line 9"}},
      {"a missing curve with a name longer than its field",
       [&](const TempDir& d) {
         d.Write("OPTIM.TXT", WithLine(d.Read("OPTIM.TXT"), 10, longName));
       },
       10,
       {"soilcal: curve file " + std::string(80, 'M') + " not found in ",
        "; it is listed in OPTIM.TXT line 10 as " + longName +
            " (90 characters, cut to the first 80)"}},
  };
  for (const Hostile& c : cases) Check(c);

  // The thorough search's closing line names the program too (stopped by
  // the abort file at its first look, after 100 ms).
  Check({"thorough search", [](const TempDir& d) { d.Write("AbortCalc", ""); }, 18,
         {"soilcal: thorough search: "}},
        {"--search=thorough"});
}

// The parameter file of a user-defined model: a line that is not "index
// value" ends the list with a warning that names it, instead of silently.
TEST(HostileJobs, MalformedUserModelParameterLineIsNamed) {
  TempDir dir;
  CopyExample("udsm_job", dir.path());
  dir.Write("udsmparm", "1 15000\n2 thirty\n3 0.3\n");
  // Intensity 4 ends the run right after the test files are read.
  dir.Write("OPTIM.TXT", WithLine(dir.Read("OPTIM.TXT"), 2, "4"));
  const ProcessRun run = RunSoilcal("OPTIM.TXT", dir.path());
  for (const char* test : {"TRIAX100.VLT", "TRIAX200.VLT"}) {
    EXPECT_NE(run.err.find("soilcal: warning: udsmparm line 2 (read for " + std::string(test) +
                           "): \"thirty\" is not an index and a value; the user-model "
                           "parameters end before this line"),
              std::string::npos)
        << run.err;
  }
  ExpectEveryLineNamesTheProgram(run.err);
}

// Stopped while every starting point so far failed: the result file keeps
// its documented form (all zeros, Relative Error = 1), but the summary calls
// no value calibrated and no curves are drawn for values never evaluated.
TEST(HostileJobs, SearchStoppedBeforeAnyUsablePointClaimsNoFit) {
  TempDir dir;
  WriteSmallJob(dir.path(), 0.01);
  // Poisson's ratio (slot 2) between 0.5 and 0.6: no point is admissible,
  // and intensity 3 would draw 10^8 of them.
  dir.Write("OPTIM.TXT", "1\n3\n0.01\n2\n0.5 0.6\n1\nTRIAX1.VLT 1\nQ_EPS.TXT\n");
  dir.Write("AbortCalc", "");
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "OPTIM.TXT"},
                                    dir.path());
  EXPECT_EQ(run.exitStatus, 18) << run.err;
  const std::string result = dir.Read("Optimization_result.txt");
  EXPECT_NE(result.find(" nu = 0\n"), std::string::npos) << result;
  EXPECT_NE(result.find(" Relative Error = 1\n"), std::string::npos) << result;
  EXPECT_FALSE(fs::exists(dir.path() / "Q_EPS.TXT_calculated"));
  EXPECT_TRUE(fs::exists(dir.path() / "Q_EPS.TXT_referenced"));
  EXPECT_NE(run.err.find("soilcal: the search was stopped before it had a usable point"),
            std::string::npos)
      << run.err;
  const std::string summary = dir.Read("calibration_summary.json");
  EXPECT_NE(summary.find("\"best\": null"), std::string::npos) << summary;
  EXPECT_NE(summary.find("\"calibrated\": null"), std::string::npos) << summary;
  ExpectEveryLineNamesTheProgram(run.err);
}

}  // namespace
}  // namespace soilcal::testing
