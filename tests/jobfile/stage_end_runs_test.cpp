// An incremental oedometer reported as one point per load stage, written
// as a TOML job by levels, through the program: the compression index of
// the soft-soil models from the closed form, and the encoding that carries
// no information refused with a sentence instead of a "0 %" fit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

// A kaolin-like clay, normally consolidated from 25 kPa: e0 = 1.2,
// Cc = 0.25, Cs = 0.05. Stage ends as a lab sheet gives them, strains from
// the void ratio: eps = (e0 - e)/(1 + e0), e = e0 - Cc log10(sigma/sigma0)
// on loading and e rising by Cs log10(sigma_max/sigma) on unloading.
constexpr double kE0 = 1.2, kCc = 0.25, kCs = 0.05, kStart = 25.0;
const std::vector<double> kLevels{50, 100, 200, 400, 800, 1600, 400, 100};

std::string StageEndCsv(bool phaseColumn) {
  std::string csv = phaseColumn ? "phase,vertical_stress,vertical_strain\n"
                                : "vertical_stress,vertical_strain\n";
  double top = kStart;
  for (std::size_t k = 0; k < kLevels.size(); ++k) {
    const double s = kLevels[k];
    top = std::max(top, s);
    const double e = kE0 - kCc * std::log10(top / kStart) + kCs * std::log10(top / s);
    if (phaseColumn) csv += std::to_string(k + 1) + ",";
    csv += std::to_string(s) + "," + std::to_string((kE0 - e) / (1.0 + kE0)) + "\n";
  }
  return csv;
}

std::string Material(const std::string& model) {
  return "[model]\nname = \"" + model +
         "\"\n[parameters]\nnu_ur = 0.15\nM = 1.0\npref = 100\nK0nc = 0.6\n"
         "kappa_star = 0.02\nlambda_star = 0.1\nOCR = 1\ne0 = 1.2\n" +
         (model == "soft_soil" ? "phi = 25\n" : "") +
         "[calibrate]\nfree = { lambda_star = [0.02, 0.3], kappa_star = [0.002, 0.05] }\n";
}

std::string LevelsList() {
  std::string list = "[";
  for (double s : kLevels) list += (list.size() > 1 ? ", " : "") + std::to_string(s);
  return list + "]";
}

nlohmann::json RunJob(const TempDir& dir, ProcessRun& run) {
  run = RunProcess(BuildPath("soilcal"), {"job.toml"}, dir.path());
  return nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
}

double Best(const nlohmann::json& summary, const std::string& name) {
  for (const auto& p : summary.at("parameters")) {
    if (p.at("name") == name) return p.at("best").get<double>();
  }
  ADD_FAILURE() << "no parameter " << name;
  return 0.0;
}

// lambda* = Cc/(ln 10 (1 + e0)) = 0.04935. Soft soil integrates
// lambda* ln(p) in small strain and lands within 5 %; modified Cam-Clay
// follows the void ratio, whose strain grows by (1 + e0)/(1 + e) over the
// 20 % compression of the test, so it is held to 10 %. Either way every
// stage point but the one anchor of the unloading branch counts, with or
// without a phase column.
TEST(StageEndRuns, AnIncrementalOedometerByLevelsGivesTheCompressionIndex) {
  const double lambda = kCc / (std::log(10.0) * (1.0 + kE0));
  struct Case {
    std::string model;
    bool phaseColumn;
    double tolerance;
  } cases[] = {{"soft_soil", false, 0.05}, {"modified_cam_clay", true, 0.10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    TempDir dir;
    dir.Write("stages.csv", StageEndCsv(c.phaseColumn));
    dir.Write("job.toml", Material(c.model) +
                              "[[tests]]\nname = \"KAOLIN\"\ntype = \"oedometer\"\n"
                              "initial_vertical_stress = 25\nk0 = 0.6\nvertical_stress = " +
                              LevelsList() +
                              "\n[[tests.curves]]\nfile = \"stages.csv\"\n"
                              "x = \"vertical_stress\"\ny = \"vertical_strain\"\n");
    ProcessRun run;
    const nlohmann::json summary = RunJob(dir, run);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NEAR(Best(summary, "lambda_star"), lambda, c.tolerance * lambda);
    const auto& curve = summary.at("tests").at(0).at("curves").at(0);
    EXPECT_EQ(curve.at("segment_sizes"), (nlohmann::json{6, 3}));
    EXPECT_EQ(curve.at("best").at("points_in_range").get<int>(), 9);
    EXPECT_EQ(curve.at("best").at("points_without_information").get<int>(), 1);
    EXPECT_LT(curve.at("best").at("relative_error").get<double>(), 10.0);
    EXPECT_EQ(run.err.find("carry no information"), std::string::npos) << run.err;
  }
}

// The same stages as one phase per stage ending exactly on its level: the
// solver stops just short of the first level (outside the range) and every
// later phase is shifted onto its only point. No point carries information:
// a run error naming the CSV file, the counts and the fix, not a 0 % fit.
TEST(StageEndRuns, OnePointPerPhaseIsRefusedInsteadOfReportedAsAFit) {
  TempDir dir;
  dir.Write("stages.csv", StageEndCsv(true));
  std::string phases;
  double previous = kStart;
  for (double s : kLevels) {
    phases += "[[tests.phases]]\nstress = { yy = " + std::to_string(s - previous) +
              ", xy = 0, yz = 0, zx = 0 }\nstrain = { xx = 0, zz = 0 }\n";
    previous = s;
  }
  dir.Write("job.toml", Material("soft_soil") +
                            "[[tests]]\nname = \"KAOLIN\"\ntype = \"general\"\n"
                            "initial_stress = [15, 25, 15, 0, 0, 0]\n" + phases +
                            "[[tests.curves]]\nfile = \"stages.csv\"\n"
                            "x = \"vertical_stress\"\ny = \"vertical_strain\"\n");
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"job.toml"}, dir.path());
  const ResultFile result = ParseResultFile(dir.Read("job.out/Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 11.0);
  EXPECT_EQ(FindSection(result, "Params"), nullptr);
  EXPECT_NE(run.err.find("curve stages.csv of test KAOLIN.VLT: none of its 8 measured points"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("7 are the first points of their phases"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("0 % calibrated"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace soilcal::testing
