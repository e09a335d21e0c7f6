// A test's own start void ratio in a TOML job (`e0` or `n0` in [[tests]]):
// it reaches the hypoplastic library's e0 of that test alone, through the
// native job and its job_language.json, and a test without one keeps the
// job's. Checked against the equations on their own: a dense and a loose
// specimen at the same cell pressure give very different deviators, so a
// value that lands in the wrong slot, the wrong test or nowhere shows.
#include <gtest/gtest.h>

#include <cmath>

#include "input/job_language.hpp"
#include "jobfile/commands.hpp"
#include "jobfile_support.hpp"
#include "labtest/context.hpp"
#include "models/hypoplastic_sand/library/element_test.hpp"
#include "optimisation/curve_errors.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

const std::string kModel =
    "[model]\nname = \"hypoplastic_sand\"\n[parameters]\n"
    "phi_c = 33.1\nhs = 4000000\nn = 0.27\ned0 = 0.677\nec0 = 1.054\nei0 = 1.212\n"
    "alpha = 0.14\nbeta = 2.5\nmR = 2.2\nmT = 1.1\nR = 0.0001\nbeta_r = 0.1\nchi = 5.5\n"
    "rho0 = 1\ne0 = 0.85\n";

std::string TestTable(const std::string& name, const std::string& state) {
  return "[[tests]]\nname = \"" + name + "\"\ntype = \"triaxial_compression\"\n" + state +
         "cell_pressure = 100\naxial_strain = 0.05\nsteps = 100\n"
         "solver = { tolerance = 0.0001 }\n[[tests.curves]]\nfile = \"q.csv\"\n"
         "x = \"axial_strain\"\ny = \"deviator_stress\"\n";
}

// Deviator at 5 % axial strain of a drained test from e0, on the equations alone.
double DeviatorOfEquations(double e0) {
  using namespace hypoplastic::element;
  hypoplastic::Parameters p = KarlsruheFineSand(true);
  p.rho0 = 1.0;
  p.tolerance = 1e-4;
  hypoplastic::State s = Start(p, 100.0, e0);
  double radial = 0.0;
  for (int k = 0; k < 100; ++k) EXPECT_TRUE(DrainedStep(p, s, -5e-4, 100.0, radial));
  return Deviator(s);
}

TEST(TestStartState, EachTestStartsFromItsOwnVoidRatio) {
  TempDir dir;
  dir.Write("q.csv", "axial_strain,deviator_stress\n0.01,150\n0.03,250\n0.05,280\n");
  // n0 = 0.4 is e0 = 2/3: the porosity form reaches the same slot.
  dir.Write("job.toml", kModel + "[calibrate]\nfree = { hs = [1000000, 10000000] }\n" +
                            TestTable("DENSE", "e0 = 0.70\n") + TestTable("LOOSE", "e0 = 0.95\n") +
                            TestTable("JOB", "") + TestTable("POROSITY", "n0 = 0.4\n"));
  const std::string optim = jobfile::WriteNativeFromToml((dir.path() / "job.toml").string(),
                                                         (dir.path() / "out").string());
  const input::Job job = ReadNativeJob(optim);
  ASSERT_TRUE(job.language.has_value());
  // The material of the files stays the job's: its own e0 is the job's default.
  EXPECT_EQ(job.material.params[44], 0.85);
  const auto* dense = input::TestSlotsOf(job, job.tests[0]);
  ASSERT_NE(dense, nullptr);
  EXPECT_EQ(input::TestSlotsOf(job, job.tests[2]), nullptr);
  // Slot 20 the porosity the program checks, slots 44 and 45 the library's
  // e0 and n0 (user parameters 14 and 15), all of the same specimen.
  ASSERT_EQ(dense->size(), 3u);
  EXPECT_EQ((*dense)[0].slot, 20);
  EXPECT_DOUBLE_EQ((*dense)[0].value, 0.70 / 1.70);
  EXPECT_EQ((*dense)[1].slot, 44);
  EXPECT_EQ((*dense)[1].value, 0.70);
  EXPECT_EQ((*dense)[2].slot, 45);
  EXPECT_DOUBLE_EQ((*dense)[2].value, 0.70 / 1.70);

  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, job, models::ModelResources{});
  const std::vector<double> x{4.0e6};
  const optimisation::JobErrors errors = optimisation::CurveErrors(job, ctx, x, false);
  ASSERT_EQ(errors.tests.size(), 4u);
  const double e0s[] = {0.70, 0.95, 0.85, 0.4 / 0.6};
  double last[4] = {};
  for (std::size_t t = 0; t < 4; ++t) {
    SCOPED_TRACE(job.tests[t].testFile);
    ASSERT_EQ(errors.tests[t].status, 0);
    const optimisation::CurveError& c = errors.tests[t].curves.at(0);
    ASSERT_FALSE(c.y.empty());
    last[t] = std::abs(c.y.back());
    // The step solver against the equations' own integration: 1 %.
    const double expected = DeviatorOfEquations(e0s[t]);
    EXPECT_NEAR(last[t], expected, 0.01 * expected);
  }
  // Dense above the job's e0 above loose, by far more than the tolerance.
  EXPECT_GT(last[0], 1.3 * last[2]);
  EXPECT_GT(last[2], 1.1 * last[1]);
}

// The tests' own values live in job_language.json only: the native job
// without it runs every test from the files' material (the job's e0), and
// a language whose own slot is a calibrated one is not used.
TEST(TestStartState, TheNativeJobAloneKeepsTheFilesMaterial) {
  namespace fs = std::filesystem;
  TempDir dir;
  dir.Write("q.csv", "axial_strain,deviator_stress\n0.01,150\n0.03,250\n0.05,280\n");
  dir.Write("job.toml", kModel + "[calibrate]\nfree = { hs = [1000000, 10000000] }\n" +
                            TestTable("DENSE", "e0 = 0.70\n") + TestTable("JOB", ""));
  const std::string optim = jobfile::WriteNativeFromToml((dir.path() / "job.toml").string(),
                                                         (dir.path() / "out").string());
  const fs::path language = dir.path() / "out" / "job_language.json";
  std::string text = ReadFile(language);
  const auto at = text.find("\"slot\": 44");
  ASSERT_NE(at, std::string::npos) << text;
  // hs (slot 32) is free: a test cannot fix it.
  text.replace(at, 12, "\"slot\": 32");
  dir.Write("out/job_language.json", text);
  EXPECT_FALSE(ReadNativeJob(optim).language.has_value());

  fs::remove(language);
  const input::Job job = ReadNativeJob(optim);
  ASSERT_FALSE(job.language.has_value());
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, job, models::ModelResources{});
  const std::vector<double> x{4.0e6};
  const optimisation::JobErrors errors = optimisation::CurveErrors(job, ctx, x, false);
  ASSERT_EQ(errors.tests.size(), 2u);
  ASSERT_FALSE(errors.tests[0].curves.at(0).y.empty());
  EXPECT_EQ(errors.tests[0].curves.at(0).y, errors.tests[1].curves.at(0).y);
  const double expected = DeviatorOfEquations(0.85);
  EXPECT_NEAR(std::abs(errors.tests[0].curves.at(0).y.back()), expected, 0.01 * expected);
}

TEST(TestStartState, ConflictsAndValuesOutOfRangeAreRefused) {
  struct Case {
    std::string calibrate, state, words;
  };
  const Case cases[] = {
      {"", "e0 = 0.7\nn0 = 0.4\n", "give its start void ratio e0 or its porosity n0, not both"},
      {"", "e0 = -0.7\n", "e0 = -0.7 is no void ratio"},
      {"", "n0 = 1.4\n", "n0 = 1.4 is no porosity"},
      {"free = { e0 = [0.6, 0.9] }\n", "e0 = 0.7\n",
       "test \"T\" gives its own e0, but [calibrate] frees e0 (slot 44)"},
      {"", "e0 = \"dense\"\n", "e0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    TempDir dir;
    dir.Write("q.csv", "axial_strain,deviator_stress\n0.01,150\n0.05,280\n");
    dir.Write("job.toml", kModel + (c.calibrate.empty() ? "" : "[calibrate]\n" + c.calibrate) +
                              TestTable("T", c.state));
    const auto error = JobFileError((dir.path() / "job.toml").string());
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->detail.find(c.words), std::string::npos) << error->detail;
    EXPECT_NE(error->detail.find("job.toml"), std::string::npos) << error->detail;
  }
}

}  // namespace
}  // namespace soilcal::testing
