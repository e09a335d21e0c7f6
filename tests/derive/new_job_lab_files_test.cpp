// `soilcal new` end to end on an AGS4 file and on tidy CSV tables: the job
// it writes runs, and its calibration gives back the parameters that made
// the readings.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

double Best(const TempDir& dir, const std::string& summary, const std::string& name) {
  const auto s = nlohmann::json::parse(dir.Read(summary));
  for (const nlohmann::json& p : s.at("parameters")) {
    if (p.at("name") == name) return p.at("best").get<double>();
  }
  ADD_FAILURE() << name << " is not free in " << summary;
  return std::nan("");
}

// The oedometer specimen of examples/lab_files (soft soil, λ* = 0.09,
// κ* = 0.02, loaded from 25 kPa at rest): the job starts it at rest
// (k0 = K0nc) and finds λ* with κ* and OCR free too. Started isotropically
// its first increments would look steeper and λ* came out 13 % high.
TEST(NewJob, AnAgs4OedometerStartsAtRestAndGivesBackLambdaStar) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "lab");
  CopyExample("lab_files/lab", dir.path() / "lab");
  const ProcessRun made = RunProcess(
      BuildPath("soilcal"), {"new", "soft_soil", "lab/site.ags", "-o", "ss.toml"}, dir.path());
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  std::string job = dir.Read("ss.toml");
  EXPECT_NE(job.find("\nk0 = 0.5774"), std::string::npos) << job;   // 1 − sin 25°
  EXPECT_NE(job.find("kappa_star = ["), std::string::npos) << "κ* from the one unloading";
  const std::string free = "[calibrate.free]\n";
  job.replace(job.find(free), free.size(), free + "OCR = [1, 2]\n");
  dir.Write("ss.toml", job);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "ss.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NEAR(Best(dir, "ss.out/calibration_summary.json", "lambda_star"), 0.09, 0.0045);
  EXPECT_NEAR(Best(dir, "ss.out/calibration_summary.json", "kappa_star"), 0.02, 0.004);
}

// Tidy tables of drained triaxial compression of a Mohr-Coulomb soil
// (E = 24000 kPa, ν = 0.3, φ = 34°, c = 0, ψ = 4°) at σ′3 = 100 and
// 300 kPa, strains in %, stresses in kPa: the job soilcal new writes finds
// G = E/(2(1 + ν)) and φ′ again.
TEST(NewJob, TidyCsvTablesBecomeTestsAndTheJobFindsTheirParameters) {
  constexpr double kDeg = std::numbers::pi / 180.0;
  const double E = 24000.0, nu = 0.3, phi = 34.0, psi = 4.0;
  TempDir dir;
  for (double s3 : {100.0, 300.0}) {
    const double s = std::sin(phi * kDeg);
    const double qf = 2.0 * s3 * s / (1.0 - s), ey = qf / E;
    const double d = -2.0 * std::sin(psi * kDeg) / (1.0 - std::sin(psi * kDeg));
    std::ostringstream csv;
    csv.precision(10);
    csv << "eps_a [%],q [kPa],eps_v [%],sigma_3' [kPa]\n";
    for (int i = 0; i <= 80; ++i) {
      const double e = 0.00075 * i;
      const double ev = e <= ey ? (1.0 - 2.0 * nu) * e : (1.0 - 2.0 * nu) * ey + d * (e - ey);
      csv << 100.0 * e << "," << std::min(E * e, qf) << "," << 100.0 * ev << "," << s3 << "\n";
    }
    dir.Write("cd" + std::to_string(static_cast<int>(s3)) + ".csv", csv.str());
  }
  const ProcessRun made = RunProcess(
      BuildPath("soilcal"), {"new", "mohr_coulomb", "cd100.csv", "cd300.csv", "-o", "mc.toml"},
      dir.path());
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  const std::string job = dir.Read("mc.toml");
  EXPECT_NE(job.find("name = 'cd100'"), std::string::npos) << job;
  EXPECT_NE(job.find("from = 'cd300.csv'"), std::string::npos) << job;
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "mc.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  // The simulated curves start from σ′3 as the tables do: 1 % and 0.3°.
  EXPECT_NEAR(Best(dir, "mc.out/calibration_summary.json", "G"), E / (2.0 * (1.0 + nu)),
              0.01 * E / 2.6);
  EXPECT_NEAR(Best(dir, "mc.out/calibration_summary.json", "phi"), phi, 0.3);
}

}  // namespace
}  // namespace soilcal::testing
