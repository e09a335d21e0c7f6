// Native job -> TOML job -> native job: every example job and every
// reference fixture reads back, through the program's own readers, to the
// same numbers bit for bit (so the runs are the same), and one fixture run
// through the TOML job reproduces the committed result and curve files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "jobfile/commands.hpp"
#include "jobfile/parameter_text.hpp"
#include "labtest/extended_models.hpp"
#include "jobfile_support.hpp"
#include "models/parameter_table.hpp"
#include "run/search_choice.hpp"
#include "jobfile/native_writer.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// Bitwise equality, so that a -0 written as 0 or a last digit lost shows.
bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a == 0 && b == 0); }

template <typename V>
void ExpectSameValues(const V& a, const V& b, const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_TRUE(Same(a[i], b[i])) << what << "[" << i << "]: " << a[i] << " against " << b[i];
  }
}

// What a run reads from a lab test: its description (the values of the
// components each phase controls) and its curves.
void ExpectSameTest(const input::LabTest& a, const input::LabTest& b) {
  EXPECT_EQ(a.testType, b.testType);
  EXPECT_EQ(a.modelNumber, b.modelNumber);
  EXPECT_EQ(a.maxIterations, b.maxIterations);
  EXPECT_EQ(a.accelerationFlag, b.accelerationFlag);
  EXPECT_EQ(a.controlFlags, b.controlFlags);
  EXPECT_TRUE(Same(a.tolerance, b.tolerance));
  EXPECT_TRUE(Same(a.realSettings[0], b.realSettings[0]));
  ExpectSameValues(a.initialStress, b.initialStress, "initial stress");
  ASSERT_EQ(a.nPhases, b.nPhases);
  EXPECT_EQ(a.capacity, b.capacity);
  EXPECT_EQ(a.loadSteps, b.loadSteps);
  ExpectSameValues(a.timeIncrement, b.timeIncrement, "time increment");
  EXPECT_EQ(a.phaseFlags, b.phaseFlags);
  for (std::size_t p = 0; p < a.phaseFlags.size(); ++p) {
    for (std::size_t i = 0; i < 6; ++i) {
      const bool stress = a.phaseFlags[p][i] == 1;
      const double va = stress ? a.prescribedStress[p][i] : a.prescribedStrain[p][i];
      const double vb = stress ? b.prescribedStress[p][i] : b.prescribedStrain[p][i];
      EXPECT_TRUE(Same(va, vb)) << "phase " << p + 1 << " component " << i;
    }
  }
  ASSERT_EQ(a.curves.size(), b.curves.size());
  for (std::size_t c = 0; c < a.curves.size(); ++c) {
    SCOPED_TRACE("curve " + std::to_string(c + 1));
    const input::Curve& ca = a.curves[c];
    const input::Curve& cb = b.curves[c];
    EXPECT_EQ(ca.xCode, cb.xCode);
    EXPECT_EQ(ca.yCode, cb.yCode);
    EXPECT_EQ(ca.nSegments, cb.nSegments);
    if (ca.nSegments > 1) {
      EXPECT_EQ(ca.multiSegment, cb.multiSegment);
    }
    EXPECT_EQ(ca.segmentSizes, cb.segmentSizes);
    ExpectSameValues(ca.x, cb.x, "x");
    ExpectSameValues(ca.y, cb.y, "y");
  }
}

void ExpectSameJob(const input::Job& a, const input::Job& b) {
  EXPECT_EQ(a.settings.index, b.settings.index);
  EXPECT_EQ(a.settings.intensity, b.settings.intensity);
  EXPECT_TRUE(Same(a.settings.tolerance, b.settings.tolerance));
  ExpectSameValues(a.settings.lower, b.settings.lower, "lower bound");
  ExpectSameValues(a.settings.upper, b.settings.upper, "upper bound");
  EXPECT_EQ(a.material.baseModel, b.material.baseModel);
  EXPECT_EQ(a.material.name, b.material.name);
  EXPECT_EQ(a.modelNumber, b.modelNumber);
  EXPECT_TRUE(Same(a.material.referencePressure, b.material.referencePressure));
  EXPECT_TRUE(Same(a.material.timeFactor, b.material.timeFactor));
  ExpectSameValues(a.material.params, b.material.params, "slot");
  ASSERT_EQ(a.tests.size(), b.tests.size());
  for (std::size_t t = 0; t < a.tests.size(); ++t) {
    SCOPED_TRACE("test " + std::to_string(t + 1));
    ExpectSameTest(a.tests[t], b.tests[t]);
  }
}

// The example folder of a fixture and the OPTIM.TXT that replaces its own.
struct Job {
  std::string example;
  std::string fixture;  // "" for the example as shipped
};

const Job kJobs[] = {
    {"sand_triaxial", ""},      {"hardening_soil", ""},          {"soft_clay", ""},
    {"udsm_job", ""},           {"ngi_adp", ""},                 {"hoek_brown_rock", ""},
    {"measured_sand/mohr_coulomb", ""}, {"measured_sand/hardening_soil", ""},
    {"measured_sand/volumetric", ""},   {"sand_triaxial", "sand_triaxial_i2"},
    {"hardening_soil", "hardening_soil_i2"}, {"cyclic_sand", ""},
    {"sekiguchi_ohta/oedometer", ""},   {"sekiguchi_ohta/undrained_triaxial", ""},
};

TEST(RoundTrip, EveryExampleAndFixtureReadsBackToTheSameNumbers) {
  for (const Job& j : kJobs) {
    SCOPED_TRACE(j.example + " " + j.fixture);
    TempDir dir;
    const fs::path native = dir.path() / "native";
    CopyExample(j.example, native);
    if (!j.fixture.empty()) {
      fs::copy_file(SourcePath("tests/fixtures/reference_runs/" + j.fixture + "/OPTIM.TXT"),
                    native / "OPTIM.TXT", fs::copy_options::overwrite_existing);
    }
    const std::string optim = (native / "OPTIM.TXT").string();
    const std::string toml = (dir.path() / "toml" / "job.toml").string();
    jobfile::WriteTomlFromNative(optim, toml);
    const std::string again = jobfile::WriteNativeFromToml(toml, (dir.path() / "again").string());
    ExpectSameJob(ReadNativeJob(optim), ReadNativeJob(again));
    // The cyclic tests come back as the cyclic template, timed in cycles.
    if (j.example == "cyclic_sand") {
      EXPECT_NE(ReadFile(toml).find("type = \"cyclic_direct_simple_shear\"\nvertical_stress = 100\n"
                                    "k0 = 0.5\ncyclic_stress_ratio = 0.2\ncycles = 4\nsteps = 12\n"),
                std::string::npos)
          << ReadFile(toml);
      EXPECT_NE(ReadFile(toml).find("x = \"cycles\"\ny = \"excess_pore_pressure\"\n"),
                std::string::npos);
    }
  }
}

// Every example's TOML twin (job.toml beside OPTIM.TXT) writes that very
// native job: the same numbers bit for bit and the same flag files, so the
// same run. Most twins were written by --write-toml; the cyclic sand and
// Sekiguchi-Ohta twins by hand on the templates (the r_u CSV of the cyclic
// sand reads back to its native curve exactly). The sand twin is written as
// an engineer would (phi = 30) and has its own check in tests/run.
TEST(RoundTrip, EveryExampleTwinWritesItsNativeJob) {
  for (const char* example :
       {"hardening_soil", "soft_clay", "udsm_job", "ngi_adp", "hoek_brown_rock", "cyclic_sand",
        "sekiguchi_ohta/oedometer", "sekiguchi_ohta/undrained_triaxial"}) {
    SCOPED_TRACE(example);
    TempDir dir;
    const fs::path native = dir.path() / "example";
    CopyExample(example, native);
    const std::string again =
        jobfile::WriteNativeFromToml((native / "job.toml").string(), (dir.path() / "again").string());
    ExpectSameJob(ReadNativeJob((native / "OPTIM.TXT").string()), ReadNativeJob(again));
    for (const char* flag : {jobfile::kThoroughSearchFlag, jobfile::kExtendedModelsFlag}) {
      EXPECT_EQ(fs::exists(native / flag), fs::exists(dir.path() / "again" / flag)) << flag;
    }
  }
}

// Angles are written in degrees only where the degrees give back the very
// sine. Near 23.6 degrees the sines of neighbouring doubles of degrees step
// by a little more than one ulp of the sine, so some sines are the sine of
// no number of degrees: 0x1.99999999999bep-2 (0.4 and 36 ulps) is one, and
// stays slot_3.
TEST(RoundTrip, DegreesAreWrittenOnlyWhenTheyGiveBackTheSine) {
  models::params::Parameter phi = *models::params::FindParameter(
      *models::params::FindModel("mohr_coulomb"), "phi");
  for (double degrees : {35.0, 30.0, 0.5, 42.123, 89.9}) {
    const double sine = models::params::ToStored(phi, degrees);
    const auto back = jobfile::DegreesOfSine(sine);
    ASSERT_TRUE(back.has_value()) << degrees;
    // The job file's own number comes back, not a neighbour of it.
    EXPECT_EQ(*back, degrees);
  }
  for (double sine : {0.5, 0.72, 0.1392, 0.636165513112}) {
    const auto degrees = jobfile::DegreesOfSine(sine);
    ASSERT_TRUE(degrees.has_value()) << sine;
    EXPECT_EQ(models::params::ToStored(phi, *degrees), sine);
  }
  EXPECT_EQ(jobfile::DegreesOfSine(0.5), 30.0);
  EXPECT_FALSE(jobfile::DegreesOfSine(0x1.99999999999bep-2).has_value());
  // E = 26000 with nu = 0.3 is G = 10000; the summary shows E as given.
  const models::params::Parameter young = *models::params::FindParameter(
      *models::params::FindModel("mohr_coulomb"), "E");
  EXPECT_EQ(models::params::ExactGiven(young, 10000.0, 0.3), 26000.0);
  EXPECT_FALSE(jobfile::DegreesOfSine(1.5).has_value());
}

// The example run through its TOML twin: the committed reference files.
TEST(RoundTrip, SandFixtureRunThroughTheTomlJobWritesTheReferenceFiles) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path() / "native");
  const std::string toml = (dir.path() / "job.toml").string();
  jobfile::WriteTomlFromNative((dir.path() / "native" / "OPTIM.TXT").string(), toml);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {toml}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const fs::path fixture = SourcePath("tests/fixtures/reference_runs/sand_triaxial");
  const fs::path out = dir.path() / "job.out";
  EXPECT_EQ(WithoutTimingLines(ReadFile(out / "Optimization_result.txt")),
            WithoutTimingLines(ReadFile(fixture / "Optimization_result.txt")));
  for (const char* suffix : {"_referenced", "_calculated"}) {
    EXPECT_EQ(ReadFile(out / (std::string("TRIAX1_1.TXT") + suffix)),
              ReadFile(fixture / (std::string("Q_EPS.TXT") + suffix)));
    EXPECT_EQ(ReadFile(out / (std::string("TRIAX1_2.TXT") + suffix)),
              ReadFile(fixture / (std::string("EV_EPS.TXT") + suffix)));
  }
}

// The two conversions of the program write files and run nothing; a native
// job whose job_language.json no longer fits it (a free parameter dropped by
// hand) keeps its native names.
TEST(RoundTrip, TheConversionCommandsWriteWithoutRunning) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path() / "native");
  const std::string soilcal = BuildPath("soilcal");
  ProcessRun run = RunProcess(soilcal, {"--write-toml", "twin/job.toml", "native/OPTIM.TXT"},
                              dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.path() / "twin" / "TRIAX1_Q_EPS.csv"));
  EXPECT_FALSE(fs::exists(dir.path() / "native" / "Optimization_result.txt"));
  run = RunProcess(soilcal, {"--write-native", "again", "twin/job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.path() / "again" / "OPTIM.TXT"));
  EXPECT_TRUE(fs::exists(dir.path() / "again" / "job_language.json"));
  EXPECT_FALSE(fs::exists(dir.path() / "again" / "Optimization_result.txt"));
  EXPECT_FALSE(fs::exists(dir.path() / "twin" / "job.out"));
  EXPECT_TRUE(ReadNativeJob((dir.path() / "again" / "OPTIM.TXT").string()).language.has_value());

  // One free parameter less: the language no longer describes the job.
  const fs::path optim = dir.path() / "again" / "OPTIM.TXT";
  std::string text = ReadFile(optim);
  text.replace(0, 2, "1\n");
  const std::size_t slot3 = text.find("3\n5000");
  ASSERT_NE(slot3, std::string::npos);
  text.erase(slot3, 2);
  text.erase(text.find("0.4 0.72\n"), 9);
  WriteFile(optim, text);
  EXPECT_FALSE(ReadNativeJob(optim.string()).language.has_value());
}

TEST(RoundTrip, TheFlagFilesAreTheOnesTheRunReads) {
  EXPECT_STREQ(jobfile::kThoroughSearchFlag, run::kThoroughFlagFile);
  EXPECT_STREQ(jobfile::kExtendedModelsFlag, labtest::kExtendedModelsFlagFile);
}

}  // namespace
}  // namespace soilcal::testing
