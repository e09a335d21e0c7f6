// A TOML job through the program as a script or CI starts it: the outcome is
// the process status without --exit-status, standard output stays quiet
// (the host's lines go to JOB.out/soilcal_console.log), and mistakes are
// answered in the job's own terms with the fix.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

// The sand example made quick: the default search, no uncertainty step.
void QuickSandJob(const TempDir& dir) {
  CopyExample("sand_triaxial", dir.path());
  std::string job = dir.Read("job.toml");
  const std::string thorough = "search = \"thorough\"";
  const std::size_t at = job.find(thorough);
  ASSERT_NE(at, std::string::npos);
  dir.Write("job.toml", job.erase(at, thorough.size()));
}

// The deviator curve's strains written in percent, as a laboratory sheet
// gives them.
void StrainsInPercent(const TempDir& dir) {
  std::string out;
  bool header = true;
  for (const std::string& line : SplitLines(dir.Read("TRIAX1_Q_EPS.csv"))) {
    if (header || line.empty()) {
      out += line + "\n";
      header = false;
      continue;
    }
    const std::size_t comma = line.find(',');
    out += std::to_string(100.0 * std::stod(line.substr(0, comma))) + line.substr(comma) + "\n";
  }
  dir.Write("TRIAX1_Q_EPS.csv", out);
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Strains in percent leave too little overlap (exit code 19): the status
// says so without --exit-status, and the warning names the curve, the two
// ranges and the key that fixes it; with the key the job runs.
TEST(FrontEndRuns, StrainsInPercentFailWithTheirStatusAndTheHintThatFixesThem) {
  TempDir dir;
  QuickSandJob(dir);
  StrainsInPercent(dir);
  const ProcessRun failed = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  EXPECT_EQ(failed.exitStatus, 19) << failed.err;
  EXPECT_TRUE(Has(failed.err, "(exit code 19, SMALL_OVERLAP_CURVES)")) << failed.err;
  EXPECT_TRUE(Has(failed.err, "TRIAX1.VLT / TRIAX1_Q_EPS.csv (deviator stress): the measured axial "
                              "strain reaches 5 where the simulated one reaches 0.05: are these "
                              "strains in percent? add x_scale = 0.01 to this curve of the job file"))
      << failed.err;
  // The volumetric strains are fractions: no hint for them.
  EXPECT_FALSE(Has(failed.err, "the measured volumetric strain reaches")) << failed.err;
  const auto summary = nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
  int hints = 0;
  for (const auto& w : summary.at("warnings")) hints += w.at("kind") == "percent_scale";
  EXPECT_EQ(hints, 1);

  std::string job = dir.Read("job.toml");
  const std::string curve = "file = \"TRIAX1_Q_EPS.csv\"";
  job.insert(job.find(curve) + curve.size(), "\nx_scale = 0.01");
  dir.Write("job.toml", job);
  const ProcessRun fixed = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  EXPECT_EQ(fixed.exitStatus, 0) << fixed.err;
  EXPECT_FALSE(Has(fixed.err, "percent")) << fixed.err;
}

// The host's lines (the header echo, the search's ERROR = lines) go to the
// console log; standard output is empty unless --verbose asks for them.
// The closing summary stays on standard error.
TEST(FrontEndRuns, TheHostsLinesGoToTheConsoleLog) {
  TempDir dir;
  QuickSandJob(dir);
  const ProcessRun quiet = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  ASSERT_EQ(quiet.exitStatus, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  EXPECT_TRUE(Has(quiet.err, "soilcal: report: ")) << quiet.err;
  const std::string log = dir.Read("job.out/soilcal_console.log");
  const std::vector<std::string> lines = SplitLines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(),
            " Header line Drained triaxial compression, dense sand, cell pressure 100 kPa");
  // The last ERROR line holds the error the result file reports.
  std::string lastError;
  for (const std::string& line : lines) {
    if (line.rfind(" ERROR = ", 0) == 0) lastError = line;
  }
  ASSERT_FALSE(lastError.empty()) << log;
  const ResultFile result = ParseResultFile(dir.Read("job.out/Optimization_result.txt"));
  EXPECT_EQ(std::stod(lastError.substr(9)), KeyValue(result, "Objective info", "Relative Error"));
  // The log keeps the notices of standard error too: the run's whole record.
  EXPECT_TRUE(Has(log, "soilcal: report: ")) << log;

  const ProcessRun verbose =
      RunProcess(BuildPath("soilcal"), {"--verbose", "--uncertainty=off", "job.toml"}, dir.path());
  ASSERT_EQ(verbose.exitStatus, 0) << verbose.err;
  const std::vector<std::string> out = SplitLines(verbose.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), lines.front());
  for (const std::string& line : out) {
    EXPECT_TRUE(line.rfind(" Header line ", 0) == 0 || line.rfind(" ERROR = ", 0) == 0) << line;
  }
  EXPECT_TRUE(Has(dir.Read("job.out/soilcal_console.log"), out.back()));

  // A log that cannot be written loses nothing: the lines go to standard
  // output as the host's would.
  std::filesystem::remove(dir.path() / "job.out" / "soilcal_console.log");
  std::filesystem::create_directory(dir.path() / "job.out" / "soilcal_console.log");
  const ProcessRun noLog = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  ASSERT_EQ(noLog.exitStatus, 0) << noLog.err;
  EXPECT_EQ(SplitLines(noLog.out).front(), lines.front());
}

// Bounds of an angle given as sines: the warning speaks of phi in degrees
// as the job wrote it, never of slots or sines of the result file, and
// gives the bounds in degrees that were meant.
TEST(FrontEndRuns, AngleBoundsGivenAsSinesAreAnsweredInDegrees) {
  TempDir dir;
  QuickSandJob(dir);
  std::string job = dir.Read("job.toml");
  const std::string bounds = "phi = [23.58, 46.05]";
  ASSERT_NE(job.find(bounds), std::string::npos);
  job.replace(job.find(bounds), bounds.size(), "phi = [0.5, 0.7]");
  dir.Write("job.toml", job);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  // asin 0.5 = 30°, asin 0.7 = 44.4°.
  EXPECT_TRUE(Has(run.err, "soilcal: warning: phi: the start value 30° of [parameters] lies outside "
                           "its bounds 0.5° and 0.7° in calibrate.free; angles are given in "
                           "degrees, not as sines: write for example phi = [30, 44] in "
                           "calibrate.free"))
      << run.err;
  EXPECT_FALSE(Has(run.err, "slot 3")) << run.err;
}

}  // namespace
}  // namespace soilcal::testing
