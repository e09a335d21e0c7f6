// Start values inside a TOML job and `soilcal new` through the program, on
// CSV curves of the closed-form drained Mohr-Coulomb response (E = 30000 kPa,
// ν = 0.25, φ = 32°, c = 5 kPa, ψ = 8°) at two cell pressures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "jobfile/toml_job.hpp"
#include "services/errors.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kE = 30000.0, kNu = 0.25, kPhi = 32.0, kC = 5.0, kPsi = 8.0;

// The CSV of one test: axial strain, deviator, volumetric strain.
std::string MohrCoulombCsv(double s3) {
  const double s = std::sin(kPhi * kDeg);
  const double qf = 2.0 * (kC * std::cos(kPhi * kDeg) + s3 * s) / (1.0 - s);
  const double ey = qf / kE;
  const double d = -2.0 * std::sin(kPsi * kDeg) / (1.0 - std::sin(kPsi * kDeg));
  std::ostringstream csv;
  csv.precision(17);
  csv << "eps1,q,epsv\n";
  for (int i = 0; i <= 60; ++i) {
    const double e = 0.001 * i;
    csv << e << "," << std::min(kE * e, qf) << ","
        << (e <= ey ? (1.0 - 2.0 * kNu) * e : (1.0 - 2.0 * kNu) * ey + d * (e - ey)) << "\n";
  }
  return csv.str();
}

std::string Tests() {
  std::string text;
  for (int s3 : {100, 250}) {
    const std::string n = std::to_string(s3);
    text += "\n[[tests]]\nname = \"TX" + n + "\"\ntype = \"triaxial_compression\"\ncell_pressure = " +
            n + "\naxial_strain = 0.06\nsteps = 60\n";
    for (const char* y : {"deviator_stress", "volumetric_strain"}) {
      text += "\n[[tests.curves]]\nfile = \"tx" + n + ".csv\"\nx = \"axial_strain\"\nx_column = "
              "\"eps1\"\ny = \"" + std::string(y) + "\"\ny_column = \"" +
              (std::string(y) == "deviator_stress" ? "q" : "epsv") + "\"\n";
    }
  }
  return text;
}

void WriteCurves(const TempDir& dir) {
  dir.Write("tx100.csv", MohrCoulombCsv(100.0));
  dir.Write("tx250.csv", MohrCoulombCsv(250.0));
}

TEST(JobFromData, FromDataFillsTheStartValuesTheFileDoesNotGiveAndNamesTakeDerivedBounds) {
  TempDir dir;
  WriteCurves(dir);
  const std::string path = dir.Write(
      "job.toml", "[model]\nname = \"mohr_coulomb\"\n\n[parameters]\nfrom_data = true\nphi = 30\n\n"
                  "[calibrate]\nfree = [\"G\", \"phi\", \"psi\"]\n" + Tests());
  const jobfile::NativeJob job = jobfile::ReadTomlJob(path);
  const auto& p = job.job.material.params;
  // G = E/(2(1 + ν)) with ν from the initial volumetric slope.
  EXPECT_NEAR(p[1], kE / (2.0 * (1.0 + kNu)), 1e-6 * kE);
  EXPECT_NEAR(p[2], kNu, 1e-9);
  EXPECT_NEAR(p[3], std::sin(30.0 * kDeg), 1e-12) << "a value the file gives is kept";
  EXPECT_NEAR(p[4], kC, 1e-9);
  EXPECT_NEAR(p[5], std::sin(kPsi * kDeg), 1e-9);
  const auto& s = job.job.settings;
  ASSERT_EQ(s.nParams, 3);
  EXPECT_EQ(s.index, (std::vector<int>{1, 3, 5}));
  // φ: the derived bounds hold 32° ± 3° and the given 30° (stored as sines);
  // the spread of the circles' own angles (c′ = 0) widens them upwards only.
  EXPECT_LE(s.lower[1], std::sin((kPhi - 3.0) * kDeg) + 1e-12);
  EXPECT_GE(s.upper[1], std::sin((kPhi + 3.0) * kDeg) - 1e-12);
  EXPECT_LT(s.upper[1], std::sin(45.0 * kDeg));
  EXPECT_LT(s.lower[0], p[1]);
  EXPECT_GT(s.upper[0], p[1]);
  ASSERT_EQ(job.language.parameters.size(), 3u);
  EXPECT_EQ(job.language.parameters[1].name, "phi");
}

TEST(JobFromData, MistakesOfDerivedStartValuesAreSentencesWithTheLine) {
  TempDir dir;
  WriteCurves(dir);
  struct Case {
    std::string head;
    std::string expected;
  };
  const Case cases[] = {
      {"[model]\nname = \"mohr_coulomb\"\n[parameters]\nfrom_data = true\n[calibrate]\n"
       "free = [\"tension\"]\n",
       "tension = 0 gives no range to search around"},
      {"[model]\nname = \"mohr_coulomb\"\n[parameters]\nfrom_data = true\n[calibrate]\n"
       "free = [3]\n",
       "lists parameter names in quotes"},
      {"[model]\nname = \"mohr_coulomb\"\n[parameters]\nfrom_data = true\n[calibrate]\n"
       "free = [\"phy\"]\n",
       "did you mean"},
      {"[model]\nname = \"sekiguchi_ohta\"\n[parameters]\nfrom_data = true\n",
       "not for the Sekiguchi-Ohta"},
      {"[model]\nname = \"mohr_coulomb\"\n[parameters]\nfrom_data = \"yes\"\n", "from_data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    const std::string path = dir.Write("bad.toml", c.head + Tests());
    try {
      jobfile::ReadTomlJob(path);
      ADD_FAILURE() << "read without complaint";
    } catch (const services::RunError& e) {
      EXPECT_NE(e.detail.find(c.expected), std::string::npos) << e.detail;
      EXPECT_NE(e.detail.find("bad.toml line "), std::string::npos) << e.detail;
    }
  }
}

std::string Source() {
  return "[model]\nname = \"mohr_coulomb\"\nmaterial = \"Test sand\"\n\n[parameters]\nG = 5000\n"
         "nu = 0.3\nphi = 25\n" + Tests();
}

TEST(NewJob, WritesAJobThatRunsAndFindsTheParametersOfItsCurves) {
  TempDir dir;
  WriteCurves(dir);
  dir.Write("source.toml", Source());
  const ProcessRun made =
      RunProcess(BuildPath("soilcal"), {"new", "mohr_coulomb", "source.toml", "-o", "mc.toml"},
                 dir.path());
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  EXPECT_EQ(made.out, "mc.toml\n");
  // The table on standard error names every value with its rule.
  EXPECT_NE(made.err.find("plateau Mohr circles"), std::string::npos) << made.err;
  const std::string job = dir.Read("mc.toml");
  EXPECT_NE(job.find("\nphi = 32  # line through the tops of 2 plateau Mohr circles"),
            std::string::npos) << job;
  EXPECT_NE(job.find("\nG = 12000  #"), std::string::npos) << job;
  EXPECT_NE(job.find("material = \"Test sand\""), std::string::npos) << job;
  EXPECT_NE(job.find("[calibrate.free]\n"), std::string::npos) << job;
  // Every parameter line says how it got its number.
  std::istringstream lines(job.substr(job.find("[parameters]"), job.find("[calibrate") -
                                                                     job.find("[parameters]")));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '[') continue;
    EXPECT_NE(line.find("  # "), std::string::npos) << line;
  }

  // Never over an existing file without --force.
  dir.Write("mc.toml", "keep me\n");
  const ProcessRun again =
      RunProcess(BuildPath("soilcal"), {"new", "mohr_coulomb", "source.toml", "-o", "mc.toml"},
                 dir.path());
  EXPECT_EQ(again.exitStatus, 2);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(dir.Read("mc.toml"), "keep me\n");
  const ProcessRun forced = RunProcess(
      BuildPath("soilcal"), {"new", "mohr_coulomb", "source.toml", "-o", "mc.toml", "--force"},
      dir.path());
  ASSERT_EQ(forced.exitStatus, 0) << forced.err;
  EXPECT_EQ(dir.Read("mc.toml"), job);

  // The job runs as it is; the summary shows each derived start with its rule.
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "mc.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto summary = nlohmann::json::parse(dir.Read("mc.out/calibration_summary.json"));
  bool sawPhi = false;
  for (const auto& p : summary.at("parameters")) {
    ASSERT_TRUE(p.contains("start_rule")) << p.dump();
    if (p.at("name") != "phi") continue;
    sawPhi = true;
    EXPECT_NEAR(p.at("start").get<double>(), kPhi, 1e-9);
    EXPECT_NE(p.at("start_rule").get<std::string>().find("2 plateau Mohr circles"), std::string::npos);
  }
  EXPECT_TRUE(sawPhi);
  EXPECT_NE(dir.Read("mc.out/calibration_report.html").find("Start values read off the measured"),
            std::string::npos);
}

TEST(NewJob, AComparisonOfModelsAndTheMistakesOfTheCommandLine) {
  TempDir dir;
  WriteCurves(dir);
  dir.Write("source.toml", Source());
  const ProcessRun both = RunProcess(
      BuildPath("soilcal"), {"new", "mohr_coulomb,hardening_soil", "source.toml", "-o", "c.toml"},
      dir.path());
  ASSERT_EQ(both.exitStatus, 0) << both.err;
  const std::string job = dir.Read("c.toml");
  EXPECT_NE(job.find("[[models]]\nname = \"mohr_coulomb\""), std::string::npos) << job;
  EXPECT_NE(job.find("[[models]]\nname = \"hardening_soil\""), std::string::npos) << job;
  EXPECT_NE(job.find("[models.calibrate.free]"), std::string::npos) << job;

  // A lab file the readers cannot make a test of, and TOML jobs in two
  // systems of units.
  dir.Write("lab.gds", "not a lab file\n");
  dir.Write("other_units.toml", "[units]\nforce = \"N\"\n\n" + Source());
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const Case cases[] = {
      {{"new", "mohr_coulomb", "lab.gds", "-o", "u.toml"},
       "the lab file(s) lab.gds could not be read as tests"},
      {{"new", "mohr_coulomb", "source.toml", "other_units.toml", "-o", "u.toml"},
       "other_units.toml gives other [units] than the first job"},
      {{"new"}, "give the model"},
      {{"new", "mohr_coulomb"}, "give the files"},
      {{"new", "mohr_coulomb", "missing.toml"}, "missing.toml not found"},
      {{"new", "sekiguchi_ohta", "source.toml", "-o", "u.toml"}, "no start-value rules"},
      {{"new", "mohr_colomb", "source.toml", "-o", "u.toml"}, "unknown model \"mohr_colomb\""},
      {{"new", "mohr_coulomb", "source.toml", "--frobnicate"}, "unknown option"},
      {{"new", "ubc3d_sand", "source.toml", "--n160", "dense"}, "--n160 needs a number"},
      {{"new", "ubc3d_sand", "source.toml", "--emin"}, "--emin needs a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const ProcessRun r = RunProcess(BuildPath("soilcal"), c.args, dir.path());
    EXPECT_GT(r.exitStatus, 0);
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "u.toml"));
  }
  // The state of a sand for UBC3D: (N1)60 = 27 gives K_G^e = 434 · 27^0.333 = 1300.6.
  const ProcessRun ubc = RunProcess(
      BuildPath("soilcal"), {"new", "ubc3d_sand", "source.toml", "--n160", "27", "-o", "ubc.toml"},
      dir.path());
  ASSERT_EQ(ubc.exitStatus, 0) << ubc.err;
  const std::string ubcJob = dir.Read("ubc.toml");
  EXPECT_NE(ubcJob.find("\nKGe = 1301  # Beaty & Byrne (2011)"), std::string::npos) << ubcJob;
  EXPECT_NE(ubcJob.find("\nN160 = 27  # fixed, (N1)60 = 27.0 as given"), std::string::npos) << ubcJob;
}

// A clay model has no cohesion: the shared strength rule gives the job no
// parameter the model lacks, and the job of the clay example runs as written.
TEST(NewJob, AClayModelsJobHoldsOnlyItsOwnParametersAndRuns) {
  TempDir dir;
  CopyExample("soft_clay", dir.path());
  const ProcessRun made = RunProcess(
      BuildPath("soilcal"), {"new", "modified_cam_clay", "job.toml", "-o", "mcc.toml"}, dir.path());
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  const std::string job = dir.Read("mcc.toml");
  EXPECT_EQ(job.find("\nc = "), std::string::npos) << job;
  EXPECT_EQ(job.find("\npsi = "), std::string::npos) << job;
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "mcc.toml"}, dir.path());
  EXPECT_EQ(run.exitStatus, 0) << run.err;
}

// The GDS exports of the lab-file example (simulated Mohr-Coulomb at
// G = 18000 kPa, phi = 33 deg, c = 2 kPa, psi = 3 deg): soilcal new names a
// test per file, and the job it writes runs its thorough search from the
// derived values back to the parameters that made the curves.
TEST(NewJob, LabFilesBecomeNamedTestsAndTheJobFindsTheirParameters) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "lab");
  CopyExample("lab_files/lab", dir.path() / "lab");
  const ProcessRun made =
      RunProcess(BuildPath("soilcal"),
                 {"new", "mohr_coulomb", "lab/CD100.gds", "lab/CD200.gds", "-o", "mc.toml"},
                 dir.path());
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  const std::string job = dir.Read("mc.toml");
  EXPECT_NE(job.find("name = 'CD100'"), std::string::npos) << job;
  EXPECT_NE(job.find("name = 'CD200'"), std::string::npos) << job;
  EXPECT_NE(job.find("search = \"thorough\""), std::string::npos) << job;
  const ProcessRun run =
      RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "mc.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto summary = nlohmann::json::parse(dir.Read("mc.out/calibration_summary.json"));
  int found = 0;
  for (const nlohmann::json& p : summary.at("parameters")) {
    if (p.at("name") == "G") {
      EXPECT_NEAR(p.at("best").get<double>(), 18000.0, 180.0);
      ++found;
    } else if (p.at("name") == "phi") {
      EXPECT_NEAR(p.at("best").get<double>(), 33.0, 0.3);
      ++found;
    }
  }
  EXPECT_EQ(found, 2);
  // A specimen that is no LOCATION:DEPTH:REF is refused before anything is written.
  const ProcessRun bad = RunProcess(
      BuildPath("soilcal"), {"new", "soft_soil", "lab/site.ags", "--specimen", ":1", "-o", "s.toml"},
      dir.path());
  EXPECT_GT(bad.exitStatus, 0);
  EXPECT_NE(bad.err.find("give LOCATION:DEPTH:REF"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "s.toml"));
}

}  // namespace
}  // namespace soilcal::testing
