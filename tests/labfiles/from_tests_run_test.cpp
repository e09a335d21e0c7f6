// TOML jobs whose tests come from laboratory files, run through the
// program: GDS series written from the closed-form Mohr-Coulomb response
// (drained and undrained) and an AGS4 oedometer series on a normal
// compression line calibrate back to the parameters that made them; the
// readers' choices land in JOB.out/sources.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "labfiles/lab_file_writers.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

double Best(const nlohmann::json& summary, const std::string& name) {
  for (const auto& p : summary.at("parameters")) {
    if (p.at("name") == name) return p.at("best").get<double>();
  }
  ADD_FAILURE() << "no parameter " << name;
  return 0.0;
}

nlohmann::json RunJob(const TempDir& dir) {
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  EXPECT_EQ(run.exitStatus, 0) << run.err << run.out;
  return nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
}

const char* kMohrCoulombJob = R"(
[units]
force = "kN"
length = "m"
time = "day"

[model]
name = "mohr_coulomb"

[parameters]
G = 15000
nu = NU
phi = 30
c = COH
psi = PSI
n0 = 0.4

[calibrate]
free = { G = [1000, 60000], phi = [20, 46] }
intensity = 1
tolerance = 0.001
search = "thorough"

[[tests]]
name = "T1"
from = "lab/T1.gds"
steps = 100

[[tests]]
name = "T2"
from = "lab/T2.gds"
steps = 100
)";

std::string Job(double nu, double c, double psi) {
  std::string job = kMohrCoulombJob;
  const auto put = [&](const std::string& key, double v) {
    job.replace(job.find(key), key.size(), std::to_string(v));
  };
  put("NU", nu);
  put("COH", c);
  put("PSI", psi);
  return job;
}

// 50 readings to 8 % axial strain: every reading lies on one of the
// simulation's 100 steps, so the closed form is met exactly at the truth.
TEST(FromTestsRun, DrainedGdsSeriesCalibratesBackToTheClosedFormParameters) {
  TempDir dir;
  const McSoil soil{24000.0, 0.25, 38.0, 1.0, 8.0};
  GdsVariant v;
  v.decimalComma = true;
  v.latin1 = true;
  v.crlf = true;
  std::filesystem::create_directories(dir.path() / "lab");
  dir.Write("lab/T1.gds", GdsFile(DrainedTriaxial(soil, 100.0, 0.08, 50), false, 100.0, v));
  dir.Write("lab/T2.gds", GdsFile(DrainedTriaxial(soil, 200.0, 0.08, 50), false, 200.0, v));
  dir.Write("job.toml", Job(soil.nu, soil.c, soil.psi));
  const nlohmann::json summary = RunJob(dir);
  EXPECT_NEAR(Best(summary, "G"), soil.G, 0.01 * soil.G);
  EXPECT_NEAR(Best(summary, "phi"), soil.phi, 0.3);
  const std::string sources = dir.Read("job.out/sources.txt");
  EXPECT_NE(sources.find("test \"T2\" from lab/T2.gds (GDS)"), std::string::npos) << sources;
  EXPECT_NE(sources.find("stage 5: the last stage in which the axial strain grows by 1 % or more"),
            std::string::npos) << sources;
  EXPECT_NE(sources.find("drained: volume changes"), std::string::npos) << sources;
  // The same choices in the job's language and under the test in the report.
  const auto language = nlohmann::json::parse(dir.Read("job.out/job_language.json"));
  const auto& choices = language.at("tests").at(1).at("source_choices");
  EXPECT_NE(std::find(choices.begin(), choices.end(), "start: σ′r = 200 kPa, isotropic (radial "
                      "pressure minus pore pressure at the stage's first reading)"),
            choices.end());
  EXPECT_NE(dir.Read("job.out/calibration_report.html").find("<li>start: σ′r = 200 kPa, isotropic"),
            std::string::npos);
}

TEST(FromTestsRun, UndrainedGdsSeriesCalibratesBackAndIsRunUndrained) {
  TempDir dir;
  const McSoil soil{5000.0, 0.3, 26.0, 5.0, 0.0};
  std::filesystem::create_directories(dir.path() / "lab");
  dir.Write("lab/T1.gds", GdsFile(UndrainedTriaxial(soil, 100.0, 0.08, 50), true, 100.0, {}));
  dir.Write("lab/T2.gds", GdsFile(UndrainedTriaxial(soil, 200.0, 0.08, 50), true, 200.0, {}));
  dir.Write("job.toml", Job(soil.nu, soil.c, soil.psi));
  const nlohmann::json summary = RunJob(dir);
  EXPECT_NEAR(Best(summary, "G"), soil.G, 0.01 * soil.G);
  EXPECT_NEAR(Best(summary, "phi"), soil.phi, 0.3);
  // The lab-test file's test block: test type 1, then variant 1 (undrained).
  EXPECT_NE(dir.Read("job.out/T1.VLT").find("\nTest\n1\n1\n"), std::string::npos);
  EXPECT_NE(dir.Read("job.out/sources.txt").find("undrained: volume constant"), std::string::npos);
}

// Two specimens loaded along ε = λ* ln(σ/σ1) with λ* = 0.08 (the soft soil
// model's normal compression line under K0nc): the thorough search finds
// λ* again within 2 %.
TEST(FromTestsRun, Ags4OedometerSeriesCalibratesBackToItsCompressionIndex) {
  TempDir dir;
  dir.Write("site.ags", Ags4File({NormalCompression("BH1", 2.0, "1", 0.08, 0.016, 1.2,
                                                    {50, 100, 200, 400, 800}, {}),
                                  NormalCompression("BH1", 4.0, "2", 0.08, 0.016, 1.1,
                                                    {100, 200, 400, 800, 1600}, {})},
                                 {}));
  dir.Write("job.toml", R"(
[model]
name = "soft_soil"

[parameters]
nu_ur = 0.15
phi = 25
c = 0
psi = 0
M = 1
m = 1
pref = 100
K0nc = 0.6
kappa_star = 0.016
lambda_star = 0.05
OCR = 1
n0 = 0.5

[calibrate]
free = { lambda_star = [0.02, 0.2] }
intensity = 1
tolerance = 0.0001
search = "thorough"

[[tests]]
name = "OED1"
from = "site.ags"
specimen = { location = "BH1", depth = 2.0, ref = "1" }
k0 = 0.6
steps = 200

[[tests]]
name = "OED2"
from = "site.ags"
specimen = { location = "BH1", depth = 4, ref = 2 }
k0 = 0.6
steps = 200
)");
  const nlohmann::json summary = RunJob(dir);
  EXPECT_NEAR(Best(summary, "lambda_star"), 0.08, 0.02 * 0.08);
  const std::string sources = dir.Read("job.out/sources.txt");
  EXPECT_NE(sources.find("one phase per monotonic branch, to 1600 (each branch ends 0.5 % past"), std::string::npos) << sources;
  EXPECT_NE(sources.find("specimen BH1 at 4 m, ref 2, group CONS"), std::string::npos) << sources;
}

}  // namespace
}  // namespace soilcal::testing
