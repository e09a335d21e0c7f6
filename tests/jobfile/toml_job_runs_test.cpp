// TOML jobs through the program: the first example finds the parameters its
// curves were made with, the cyclic and Sekiguchi-Ohta twins run where their
// native jobs run (r_u in the job's terms, the extended models' flag file
// written), and a second run of a TOML job while the first works stops
// before it writes anything into JOB.out/.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "jobfile/commands.hpp"
#include "jobfile/native_writer.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// The job file with `from` replaced by `to` (which must be there).
void Replace(const TempDir& dir, const std::string& file, const std::string& from,
             const std::string& to) {
  std::string text = dir.Read(file);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  dir.Write(file, text.replace(at, from.size(), to));
}

nlohmann::json Parameter(const nlohmann::json& summary, const std::string& name) {
  for (const auto& p : summary.at("parameters")) {
    if (p.at("name") == name) return p;
  }
  ADD_FAILURE() << "no parameter " << name;
  return {};
}

// The quick start's example as shipped: its curves are the closed-form
// Mohr-Coulomb response of G = 24000 kPa and phi = 38 deg (c = 1 kPa,
// psi = 8 deg), exact at the 100 step points, so its thorough search finds
// them to within 1 % and 0.3 deg; the outputs land in job.out/.
TEST(TomlJobRuns, TheFirstExampleFindsTheParametersItsCurvesWereMadeWith) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const std::string job = dir.Read("job.toml");
  EXPECT_NE(job.find("\nphi = 30\n"), std::string::npos);
  EXPECT_EQ(job.find("slot_"), std::string::npos);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto summary = nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
  const auto g = Parameter(summary, "G");
  const auto phi = Parameter(summary, "phi");
  EXPECT_NEAR(g.at("best").get<double>(), 24000.0, 0.01 * 24000.0);
  EXPECT_NEAR(phi.at("best").get<double>(), 38.0, 0.3);
  // The start value is the sine of exactly 30 degrees.
  EXPECT_EQ(phi.at("start").get<double>(), 30.0);
  EXPECT_EQ(ParseResultFile(dir.Read("job.out/Optimization_result.txt")).sections.size(), 4u);
  EXPECT_FALSE(fs::exists(dir.path() / "Optimization_result.txt"));
}

// The cyclic sand twin at its known parameters (bounds pinned): the r_u
// curves are met, and the simulated r_u CSV is the native curve of minus the
// pore pressure over sigma'v0 = 100 kPa, cycle by cycle.
TEST(TomlJobRuns, TheCyclicTwinFitsItsPorePressureRatioCurves) {
  TempDir dir;
  CopyExample("cyclic_sand", dir.path());
  Replace(dir, "job.toml", "free = { KGp = [75, 300], fdens = [0.5, 2] }\nsearch = \"thorough\"",
          "free = { KGp = [150, 150], fdens = [1, 1] }");
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const ResultFile result = ParseResultFile(dir.Read("job.out/Optimization_result.txt"));
  // The curves are the program's own at these values: only their 17 digits
  // are rounded.
  EXPECT_LT(KeyValue(result, "Objective info", "Relative Error"), 1e-6);

  const std::vector<std::string> csv =
      SplitLines(dir.Read("job.out/CDSS25_excess_pore_pressure_ratio_calculated.csv"));
  const auto native = ReadSimulatedCurve(dir.path() / "job.out" / "CDSS25_1.TXT_calculated").points;
  ASSERT_EQ(csv.at(0), "phase,cycles,excess_pore_pressure_ratio");
  ASSERT_EQ(csv.size(), native.size() + 1);
  for (std::size_t k = 0; k < native.size(); k += 7) {
    const std::string& row = csv[k + 1];
    const std::size_t comma = row.find(',', row.find(',') + 1);
    EXPECT_DOUBLE_EQ(std::stod(row.substr(row.find(',') + 1)), native[k].first) << row;
    EXPECT_DOUBLE_EQ(std::stod(row.substr(comma + 1)), native[k].second / 100.0) << row;
  }
  // Four cycles at tau/sigma'v0 = 0.25 bring r_u above 0.85.
  const std::string& last = csv.back();
  EXPECT_EQ(last.substr(0, last.find(',')), "9");
  EXPECT_GT(std::stod(last.substr(last.rfind(',') + 1)), 0.85);
}

// Sekiguchi-Ohta runs from its TOML job because the writer puts the flag
// file into JOB.out/; at the known M and lambda_star the curves are met. A
// Mohr-Coulomb job written into the same folder afterwards takes the flag
// away again.
TEST(TomlJobRuns, ASekiguchiOhtaJobRunsWithTheFlagFileItsWriterSets) {
  TempDir dir;
  CopyExample("sekiguchi_ohta/undrained_triaxial", dir.path());
  fs::remove(dir.path() / "extended_models");
  Replace(dir, "job.toml", "free = { M = [0.8, 1.6], lambda_star = [0.05, 0.2] }",
          "free = { M = [1.2, 1.2], lambda_star = [0.1, 0.1] }");
  Replace(dir, "job.toml", "search = \"thorough\"", "search = \"default\"");
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const fs::path flag = dir.path() / "job.out" / jobfile::kExtendedModelsFlag;
  EXPECT_EQ(ReadFile(flag), "");
  EXPECT_TRUE(fs::exists(flag));
  const ResultFile result = ParseResultFile(dir.Read("job.out/Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 0.0);
  EXPECT_LT(KeyValue(result, "Objective info", "Relative Error"), 1e-6);

  CopyExample("sand_triaxial", dir.path() / "sand");
  jobfile::WriteNativeFromToml((dir.path() / "sand" / "job.toml").string(),
                               (dir.path() / "job.out").string());
  EXPECT_FALSE(fs::exists(flag));
}

// A TOML job on a 400-step triaxial test at intensity 3 and a tolerance
// that is never met: a search of minutes, still running whatever the load.
std::string SlowJob(int steps, int intensity) {
  return "[model]\nname = \"mohr_coulomb\"\n[parameters]\nG = 10000\nnu = 0.3\nphi = 30\nc = 1\n"
         "[calibrate]\nfree = { G = [5000, 40000], phi = [20, 45] }\nintensity = " +
         std::to_string(intensity) + "\ntolerance = 1e-300\n[[tests]]\nname = \"T\"\n" +
         "type = \"triaxial_compression\"\ncell_pressure = 100\naxial_strain = 0.05\n" +
         "steps = " + std::to_string(steps) +
         "\n[[tests.curves]]\nfile = \"q.csv\"\nx = \"axial_strain\"\ny = \"deviator_stress\"\n";
}

using Snapshot = std::map<std::string, std::string>;

// The files of `folder` but the console log, which the running job writes to.
Snapshot FilesOf(const fs::path& folder) {
  Snapshot files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() == "soilcal_console.log") continue;
    files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return files;
}

// The names of the files added, removed or changed between two snapshots.
std::string Changed(const Snapshot& before, const Snapshot& after) {
  std::string names;
  for (const auto& [name, text] : after) {
    const auto was = before.find(name);
    if (was == before.end() || was->second != text) names += name + " ";
  }
  for (const auto& entry : before) {
    if (after.count(entry.first) == 0) names += entry.first + " ";
  }
  return names;
}

// JOB.out/ is taken before the native job is written and held by the run:
// a second run of the job (whose file has changed meanwhile) stops at once
// with the run error naming the first run and its job file, and leaves
// every file of JOB.out/ as it was; so does --write-native into it.
TEST(TomlJobRuns, ASecondRunOfATomlJobStopsAtOnceAndLeavesTheFirstAlone) {
  TempDir dir;
  dir.Write("q.csv", "axial_strain,deviator_stress\n0.01,100\n0.02,150\n0.05,200\n");
  dir.Write("job.toml", SlowJob(400, 3));
  const std::string soilcal = BuildPath("soilcal");
  // --verbose: the search's lines on standard output too, to wait for.
  BackgroundProcess first(soilcal, {"--verbose", "job.toml"}, dir.path());
  ASSERT_TRUE(first.WaitFor(" ERROR = ")) << first.err();

  dir.Write("job.toml", SlowJob(10, 1));
  const Snapshot before = FilesOf(dir.path() / "job.out");
  ASSERT_NE(before.at("T.VLT").find("\n400\n"), std::string::npos);
  const ProcessRun second = RunProcess(soilcal, {"--exit-status", "job.toml"}, dir.path());
  EXPECT_EQ(second.exitStatus, 12) << second.err;
  EXPECT_NE(second.err.find("soilcal: another run is working in the job folder"),
            std::string::npos)
      << second.err;
  // The lock the front door took names the job file: the run kept it.
  EXPECT_NE(second.err.find("process " + std::to_string(first.pid()) + ", started "),
            std::string::npos)
      << second.err;
  EXPECT_NE(second.err.find("job " + (dir.path() / "job.toml").string() + ")"), std::string::npos)
      << second.err;
  EXPECT_NE(second.out.find(" Exit Code = 12\n"), std::string::npos) << second.out;
  const ProcessRun write = RunProcess(soilcal, {"--write-native", "job.out", "job.toml"}, dir.path());
  EXPECT_EQ(write.exitStatus, 12) << write.err;
  EXPECT_EQ(Changed(before, FilesOf(dir.path() / "job.out")), "");

  dir.Write("job.out/AbortCalc", "");
  EXPECT_EQ(first.Wait(), 18) << first.err();
  fs::remove(dir.path() / "job.out" / "AbortCalc");
  const ResultFile result = ParseResultFile(dir.Read("job.out/Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18);
  EXPECT_EQ(result.sections.size(), 4u);  // General, Params, Objective info, Sensitivity
  EXPECT_FALSE(fs::exists(dir.path() / "job.out" / ".soilcal.lock"));

  // The folder is free again: the changed job is written and runs.
  dir.Write("job.toml", SlowJob(10, 1));
  Replace(dir, "job.toml", "tolerance = 1e-300", "tolerance = 0.01");
  EXPECT_EQ(RunProcess(soilcal, {"--exit-status", "job.toml"}, dir.path()).exitStatus, 0);
  EXPECT_NE(dir.Read("job.out/T.VLT").find("\n10\n"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
