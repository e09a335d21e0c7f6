// A cyclic triaxial test of an AGS4 file calibrated through the program:
// the readings are the program's own simulation of the test with the
// UBC3D sand's K_G^p = 150, written as a laboratory would (total pore
// pressure over a back pressure, deviator, axial strain in %), and the
// search from K_G^p = 105 finds it again.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cyclic_ags4_writer.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

const char* kSandJob = R"([units]
force = "kN"
length = "m"
time = "day"

[model]
name = "ubc3d_sand"
drainage = "undrained"

[parameters]
KGe = 1000
KBe = 700
KGp = START
ne = 0.5
me = 0.5
np = 0.4
pref = 100
phi_cv = 33
phi_p = 36
Rf = 0.8
fdens = 1
fEpost = 1
N160 = 8
n0 = 0.4
slot_103 = 1

[calibrate]
free = { KGp = [75, 300] }

[[tests]]
name = "CTX"
from = "lab/cyclic.ags"
)";

std::string SandJob(const std::string& start) {
  std::string job = kSandJob;
  job.replace(job.find("START"), 5, start);
  return job;
}

// The points soilcal-labtest prints (point phase time eps(6) sig(6) pw ...)
// as readings: q = σ′r − σ′a of the tension-positive stresses, the pore
// pressure over the back pressure from the (tension-positive) pw.
std::vector<CyclicReading> Simulated(const std::string& table, double back) {
  std::vector<CyclicReading> list;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream cells(line);
    std::vector<double> c;
    for (double v; cells >> v;) c.push_back(v);
    if (c.size() < 16) continue;
    list.push_back({c[2], c[9] - c[10], back - c[15], -c[4]});
  }
  return list;
}

TEST(CyclicRun, Ags4CyclicTriaxialTestCalibratesBackToTheModelThatMadeIt) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "lab");
  CyclicSpecimenFile specimen;
  specimen.amplitude = 15.0;  // σ′3c = 100 kPa: r_u reaches about 0.74 in 4 cycles
  specimen.cycles = 4;
  dir.Write("lab/cyclic.ags", Ags4CyclicFile({specimen}));
  dir.Write("job.toml", SandJob("150"));
  const ProcessRun native =
      RunProcess(BuildPath("soilcal"), {"--write-native", "truth", "job.toml"}, dir.path());
  ASSERT_EQ(native.exitStatus, 0) << native.err;
  const ProcessRun sim =
      RunProcess(BuildPath("soilcal-labtest"), {"truth/CTX.VLT"}, dir.path());
  ASSERT_EQ(sim.exitStatus, 0) << sim.err;
  specimen.readings = Simulated(sim.out, specimen.back);
  ASSERT_EQ(specimen.readings.size(), 161u);  // 20 steps per half cycle by default for 4 cycles
  dir.Write("lab/cyclic.ags", Ags4CyclicFile({specimen}));

  dir.Write("job.toml", SandJob("105"));
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err << run.out;
  const auto summary = nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
  EXPECT_NEAR(summary.at("parameters").at(0).at("best").get<double>(), 150.0, 0.02 * 150.0);
  // Both curves of the cyclic test, against the cycles (code 10), r_u as
  // −pw scaled by σ′3c (code −7, 100 kPa) and the axial strain (−14).
  EXPECT_EQ(dir.Read("job.out/CTX_1.TXT").substr(0, 6), "10 -7\n");
  EXPECT_EQ(dir.Read("job.out/CTX_2.TXT").substr(0, 7), "10 -14\n");
  const std::string sources = dir.Read("job.out/sources.txt");
  EXPECT_NE(sources.find("start: σ′3c = 100 kPa, isotropic (CTRC_CELL − CTRC_PWP"),
            std::string::npos) << sources;
  EXPECT_NE(sources.find("20 load steps per half cycle"), std::string::npos) << sources;
}

// The example's cyclic AGS4 file, made the same way by make_files.py, and
// its job: K_G^p found again from 105.
TEST(CyclicRun, TheExampleCyclicJobFindsItsSand) {
  TempDir dir;
  CopyExample("lab_files/lab", dir.path() / "lab");
  std::filesystem::copy_file(SourcePath("examples/lab_files/cyclic.toml"), dir.path() / "job.toml");
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err << run.out;
  const auto summary = nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
  EXPECT_NEAR(summary.at("parameters").at(0).at("best").get<double>(), 150.0, 0.02 * 150.0);
}

}  // namespace
}  // namespace soilcal::testing
