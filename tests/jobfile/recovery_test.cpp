// A TOML job on CSV curves made from known parameters gives them back, and
// the run speaks the job's language: the summary names the free parameters
// as the job does, in its units (the friction angle in degrees beside its
// sine), and the simulated curves are CSV files in the job's signs.
//
// The curves are the closed-form drained triaxial response of Mohr-Coulomb
// (G = 20000 kPa, nu = 0.3, phi = 33 deg, c = 2 kPa, psi = 0) at a cell
// pressure of 200 kPa: q = E eps_a up to the failure deviator
// q_f = 2 (c cos phi + sigma_3 sin phi) / (1 - sin phi), then q_f. With c
// fixed, the slope gives G and the plateau phi.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

constexpr double kG = 20000.0, kNu = 0.3, kPhi = 33.0, kC = 2.0;

double FailureDeviator(double cell) {
  const double s = std::sin(kPhi * std::numbers::pi / 180.0);
  const double c = std::cos(kPhi * std::numbers::pi / 180.0);
  return 2.0 * (kC * c + cell * s) / (1.0 - s);
}

// eps_a in percent, as a laboratory sheet gives it, and q in kPa.
std::string Curve(double cell) {
  const double e = 2.0 * kG * (1.0 + kNu);
  std::string text = "eps_a [%],q [kPa]\n";
  for (int k = 1; k <= 20; ++k) {
    const double strain = 0.0025 * k;
    text += std::to_string(100.0 * strain) + "," +
            std::to_string(std::min(e * strain, FailureDeviator(cell))) + "\n";
  }
  return text;
}

std::string TriaxialTest(int cell) {
  const std::string name = "TX" + std::to_string(cell);
  return "[[tests]]\nname = \"" + name + "\"\ntype = \"triaxial_compression\"\n" +
         "cell_pressure = " + std::to_string(cell) + "\naxial_strain = 0.05\nsteps = 20\n" +
         "[[tests.curves]]\nfile = \"data/" + name + ".csv\"\nx = \"axial_strain\"\n" +
         "x_column = \"eps_a [%]\"\nx_scale = 0.01\ny = \"deviator_stress\"\n" +
         "y_column = \"q [kPa]\"\n";
}

TEST(Recovery, TriaxialCurvesFromKnownParametersGiveThemBack) {
  TempDir dir;
  dir.Write("data/TX200.csv", Curve(200));
  const std::string toml = dir.Write(
      "sand.toml", "title = \"Known sand\"\n[model]\nname = \"mohr_coulomb\"\n"
                   "[parameters]\nG = 10000\nnu = 0.3\nphi = 28\nc = 2\n"
                   "[calibrate]\nfree = { G = [5000, 40000], phi = [20, 45] }\n"
                   "search = \"thorough\"\n" +
                       TriaxialTest(200));
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", toml}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;

  const auto summary = nlohmann::json::parse(dir.Read("sand.out/calibration_summary.json"));
  const auto& g = summary.at("parameters").at(0);
  const auto& phi = summary.at("parameters").at(1);
  EXPECT_EQ(g.at("name"), "G");
  EXPECT_EQ(g.at("unit"), "kPa");
  EXPECT_EQ(phi.at("name"), "phi");
  EXPECT_EQ(phi.at("unit"), "°");
  // The curves are exact at the step points (20 steps of 0.25 %), so the
  // fit can be: the stiffness within 1 % and the angle within 0.3 degree.
  EXPECT_NEAR(g.at("best").get<double>(), kG, 0.01 * kG);
  EXPECT_NEAR(phi.at("best").get<double>(), kPhi, 0.3);
  // Start and bounds in degrees too; the slot holds the sine.
  EXPECT_NEAR(phi.at("start").get<double>(), 28.0, 1e-12);
  EXPECT_NEAR(phi.at("lower").get<double>(), 20.0, 1e-12);
  EXPECT_NEAR(phi.at("upper").get<double>(), 45.0, 1e-12);
  EXPECT_EQ(phi.at("slot"), 3);
  EXPECT_NEAR(phi.at("slot_best").get<double>(),
              std::sin(phi.at("best").get<double>() * std::numbers::pi / 180.0), 1e-12);

  // The simulated curve at the best values, compression positive: the
  // failure deviator of the 200 kPa test at the end of the test.
  const std::vector<std::string> lines = SplitLines(dir.Read("sand.out/TX200_deviator_stress_calculated.csv"));
  ASSERT_EQ(lines.size(), 22u);  // header, initial point, 20 steps
  EXPECT_EQ(lines[0], "axial_strain,deviator_stress");
  const std::string last = lines.back();
  const double strain = std::stod(last.substr(0, last.find(',')));
  const double deviator = std::stod(last.substr(last.find(',') + 1));
  EXPECT_NEAR(strain, 0.05, 1e-12);
  EXPECT_NEAR(deviator, FailureDeviator(200), 0.005 * FailureDeviator(200));
  EXPECT_FALSE(dir.Read("sand.out/TX200_deviator_stress_referenced.csv").empty());

  // The curve is named as the job names it: its CSV file and quantity, in
  // the summary and in the report's error table; the native file stays the
  // one the report reads.
  const auto& curve = summary.at("tests").at(0).at("curves").at(0);
  EXPECT_EQ(curve.at("label"), "data/TX200.csv (deviator stress)");
  EXPECT_EQ(curve.at("file"), "TX200_1.TXT");
  const std::string report = dir.Read("sand.out/calibration_report.html");
  EXPECT_NE(report.find("<td class=\"text\">data/TX200.csv (deviator stress)</td>"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
