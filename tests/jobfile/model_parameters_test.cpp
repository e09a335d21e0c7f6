// Every built-in model from a TOML job with its named parameters: the native
// lab-test file written from it is run by soilcal-labtest and must reach the
// closed-form strength (or stiffness) of the model, so a name that lands in
// the wrong slot, an angle not turned into its sine or E not turned into G
// shows as a wrong number.
#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <numbers>

#include "jobfile/commands.hpp"
#include "jobfile/quantity_names.hpp"
#include "jobfile/templates.hpp"
#include "jobfile_support.hpp"
#include "models/parameter_table.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"

namespace soilcal::testing {
namespace {

double Sin(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }
double Cos(double degrees) { return std::cos(degrees * std::numbers::pi / 180.0); }

// Mohr-Coulomb failure deviator in drained triaxial compression at cell
// pressure s3: 2 (c cos phi + s3 sin phi) / (1 - sin phi).
double MohrCoulombFailure(double phi, double c, double s3) {
  return 2.0 * (c * Cos(phi) + s3 * Sin(phi)) / (1.0 - Sin(phi));
}

struct Case {
  std::string model;
  std::string parameters;
  std::string test;       // keys of the [[tests]] table after name
  double expected;        // closed-form value at the end of the test
  // Relative; 1e-4 where the step solver's equilibrium tolerance (0.0025
  // of the stress increment) is all that separates the two.
  double tolerance;
  // The value of the last point: the deviator by default.
  double (*measure)(const RecordedPoint&) = [](const RecordedPoint& p) { return p.Deviator(); };
};

const std::string kTriaxial100 = "type = \"triaxial_compression\"\ncell_pressure = 100\n";

std::vector<Case> Cases() {
  // Hardening Soil: the hyperbola reaches q_f = 200 kPa (phi 30, c 0, cell
  // 100) at eps_a = qa/Ei * q_f/(qa - q_f) = 5.5 %, with qa = q_f/Rf and
  // Ei = 2 E50/(2 - Rf); at 10 % the deviator sits on the failure line.
  const std::string hs =
      "E50ref = 20000\nEoedref = 20000\nEurref = 60000\nnu_ur = 0.2\nm = 0.5\npref = 100\n"
      "phi = 30\nc = 0\npsi = 0\nRf = 0.9\nK0nc = 0.5\n";
  return {
      // E = 26000 and nu = 0.3 give G = 10000; q = E eps_a.
      {"linear_elastic", "E = 26000\nnu = 0.3\n", kTriaxial100 + "axial_strain = 0.01\n", 260.0,
       1e-9},
      {"mohr_coulomb", "G = 10000\nnu = 0.3\nphi = 30\nc = 10\npsi = 0\n",
       kTriaxial100 + "axial_strain = 0.05\n", MohrCoulombFailure(30, 10, 100), 1e-4},
      {"hardening_soil", hs, kTriaxial100 + "axial_strain = 0.1\n", 200.0, 0.01},
      {"hardening_soil_small", hs + "G0ref = 60000\ngamma07 = 0.0002\n",
       kTriaxial100 + "axial_strain = 0.1\n", 200.0, 0.01},
      // (M of models 4 and 8 follows from K0nc; the set needs some M > 0.)
      // Soft soil on a K0nc path (horizontal = K0nc vertical): normally
      // consolidated, the vertical strain of doubling the stress is
      // lambda* ln 2.
      {"soft_soil",
       "nu_ur = 0.15\nphi = 30\nc = 1\nK0nc = 0.6\nkappa_star = 0.02\nlambda_star = 0.1\n"
       "pref = 100\nM = 1\n",
       "type = \"oedometer\"\ninitial_vertical_stress = 100\ninitial_horizontal_stress = 60\n"
       "vertical_stress = [200]\nsteps = 200\n",
       0.1 * std::log(2.0), 0.03, [](const RecordedPoint& p) { return p.AxialStrain(); }},
      // The creep model fails on the Mohr-Coulomb line like soft soil.
      {"soft_soil_creep",
       "nu_ur = 0.15\nphi = 30\nc = 1\nK0nc = 0.6\nkappa_star = 0.02\nlambda_star = 0.1\n"
       "mu_star = 0.004\ntau = 1\npref = 100\nM = 1\n",
       kTriaxial100 + "axial_strain = 0.3\nsteps = 300\n", MohrCoulombFailure(30, 1, 100), 0.02},
      // Drained critical state from 100 kPa: q = M p' with p' = 100 + q/3,
      // so q = 300 M/(3 - M) = 200 for M = 1.2, approached within 0.1 % by
      // an axial strain of 100 %.
      {"modified_cam_clay",
       "nu_ur = 0.2\nM = 1.2\nkappa_star = 0.02\nlambda_star = 0.1\nn0 = 0.5\npref = 100\n",
       kTriaxial100 + "axial_strain = 1.0\nsteps = 500\n", 200.0, 0.005},
      // sigma_1 - sigma_3 = sigma_ci (mb sigma_3/sigma_ci + s)^a at 1 MPa.
      {"hoek_brown",
       "G = 5e6\nnu = 0.25\nsigma_ci = 50000\nmi = 10\nGSI = 60\nD = 0\nmb = 2\ns = 0.01\n"
       "a = 0.5\n",
       "type = \"triaxial_compression\"\ncell_pressure = 1000\naxial_strain = 0.005\n",
       50000.0 * std::sqrt(2.0 * 1000.0 / 50000.0 + 0.01), 1e-4},
      // Undrained triaxial compression peaks at (sigma_1 - sigma_3)/2 =
      // su^C,TX = suA (ratio 1) once the shear strain passes gammaf_C.
      {"ngi_adp",
       "nu = 0.2\nnu_u = 0.495\nsuA = 50\nGur_over_suA = 500\nsuP = 30\nsuDSS = 40\n"
       "gammaf_C = 3\ngammaf_E = 6\ngammaf_DSS = 5\nsuC_over_suA = 1\n",
       kTriaxial100 + "axial_strain = 0.06\ndrainage = \"undrained\"\n", 100.0, 0.01},
      {"ngi_adp_35",
       "nu = 0.2\nnu_u = 0.495\nsuA = 50\nGur_over_suA = 500\nsuP = 30\nsuDSS = 40\n"
       "gammaf_C = 3\ngammaf_E = 6\ngammaf_DSS = 5\nsuC_over_suA = 1\n",
       kTriaxial100 + "axial_strain = 0.06\ndrainage = \"undrained\"\n", 100.0, 0.01},
  };
}

TEST(ModelParameters, NamedParametersReachEachModelsClosedFormResponse) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.model);
    TempDir dir;
    dir.Write("job.toml", "[model]\nname = \"" + c.model + "\"\n[parameters]\n" + c.parameters +
                              "[[tests]]\nname = \"T\"\n" + c.test);
    jobfile::WriteNativeFromToml((dir.path() / "job.toml").string(), (dir.path() / "out").string());
    const LabTestOutput out = RunLabTestProgram(dir.path() / "out", "T.VLT");
    ASSERT_EQ(out.exitStatus, 0) << out.err;
    ASSERT_FALSE(out.points.empty());
    EXPECT_NEAR(c.measure(out.points.back()), c.expected, c.tolerance * std::abs(c.expected));
  }
}

// Names of models that a laboratory test cannot run (Sekiguchi-Ohta) and
// of the example user library: their slots as the lab-test reader reads them.
TEST(ModelParameters, NamesWithoutALabRunLandInTheirSlots) {
  struct Case {
    std::string model;
    std::string parameters;
    std::vector<std::pair<int, double>> slots;
  };
  const Case cases[] = {
      {"name = \"sekiguchi_ohta_viscid\"",
       "nu = 0.3\nM = 1.2\nK0nc = 0.6\nkappa_star = 0.02\nlambda_star = 0.1\nalpha = 0.003\n"
       "v0 = 1e-5\nOCR = 1.5\ne0 = 1\n",
       {{2, 0.3}, {31, 1.2}, {37, 0.6}, {38, 0.02}, {39, 0.1}, {40, 0.003}, {41, 1e-5},
        {103, 1.5}, {20, 0.5}}},
      // The example user library takes its angles in degrees, as given.
      {"number = 21\nlibrary = \"usermod.dll\"",
       "E = 15000\nnu = 0.25\nc = 1\nphi = 30\npsi = 5\ntension = 0\n",
       {{31, 15000}, {32, 0.25}, {33, 1}, {34, 30}, {35, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    TempDir dir;
    dir.Write("job.toml", "[model]\n" + c.model + "\n[parameters]\n" + c.parameters +
                              "[[tests]]\nname = \"T\"\n" + kTriaxial100 + "axial_strain = 0.01\n");
    const input::Job job = ReadNativeJob(
        jobfile::WriteNativeFromToml((dir.path() / "job.toml").string(), (dir.path() / "out").string()));
    for (const auto& [slot, value] : c.slots) {
      EXPECT_NEAR(job.material.params[static_cast<std::size_t>(slot)], value, 1e-15) << slot;
    }
  }
}

// The manual's page of the job file and its model pages name every model,
// parameter, template and quantity the reader takes, so that nothing a
// person can use is missing from it.
TEST(ModelParameters, TheManualNamesEveryModelParameterTemplateAndQuantity) {
  std::string section = ReadFile(SourcePath("docs/job_file.md"));
  ASSERT_NE(section.find("# A TOML job file"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("docs/models"))) {
    if (entry.path().extension() == ".md") section += ReadFile(entry.path());
  }
  auto named = [&](const std::string& name) {
    return section.find("`" + name + "`") != std::string::npos ||
           section.find("\"" + name + "\"") != std::string::npos;
  };
  for (const auto& model : models::params::Models()) {
    EXPECT_TRUE(named(std::string(model.name))) << model.name;
    for (const auto& p : model.parameters) {
      EXPECT_TRUE(named(std::string(p.name))) << model.name << " " << p.name;
    }
  }
  for (const std::string& name : input::TestKindNames()) EXPECT_TRUE(named(name)) << name;
  for (const std::string& name : jobfile::QuantityNames()) {
    // Families are listed as `shear_stress_xy`, `_yz`, `_zx`.
    const std::size_t family = name.rfind('_');
    EXPECT_TRUE(named(name) || (family != std::string::npos && named(name.substr(family))))
        << name;
  }
}

}  // namespace
}  // namespace soilcal::testing
