// A TOML job that names the hypoplastic sand by the name its library
// declares: its parameters land in the library's slots, the program runs it
// through the library, and the drained triaxial the step solver computes is
// the one the equations give on their own (a name in a wrong slot, an angle
// turned into a sine or a sign flipped shows as a different curve).
#include <gtest/gtest.h>

#include <cmath>

#include "jobfile/commands.hpp"
#include "jobfile_support.hpp"
#include "models/hypoplastic_sand/library/element_test.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

const std::string kParameters =
    "phi_c = 33.1\nhs = 4000000\nn = 0.27\ned0 = 0.677\nec0 = 1.054\nei0 = 1.212\n"
    "alpha = 0.14\nbeta = 2.5\nmR = 2.2\nmT = 1.1\nR = 0.0001\nbeta_r = 0.1\nchi = 5.5\n";

std::string Job(const std::string& model, const std::string& extra) {
  return "[model]\n" + model + "\n[parameters]\n" + kParameters + extra +
         "[[tests]]\nname = \"T\"\ntype = \"triaxial_compression\"\ncell_pressure = 100\n"
         "axial_strain = 0.1\nsteps = 200\nsolver = { tolerance = 0.0001 }\n";
}

TEST(HypoplasticJob, ADrainedTriaxialThroughTheProgramMatchesTheEquations) {
  TempDir dir;
  dir.Write("job.toml", Job("name = \"hypoplastic_sand\"", "e0 = 0.70\n"));
  const std::string optim =
      jobfile::WriteNativeFromToml((dir.path() / "job.toml").string(), (dir.path() / "out").string());
  const input::Job job = ReadNativeJob(optim);
  EXPECT_EQ(job.material.baseModel, 21);
  EXPECT_EQ(job.material.name, "hypoplastic_sand.dll");
  EXPECT_EQ(job.material.params[31], 33.1);  // degrees as given, no sine
  EXPECT_EQ(job.material.params[32], 4.0e6);
  EXPECT_EQ(job.material.params[44], 0.70);

  const LabTestOutput out = RunLabTestProgram(dir.path() / "out", "T.VLT");
  ASSERT_EQ(out.exitStatus, 0) << out.err;
  ASSERT_EQ(out.points.size(), 201u);

  // The same test on the equations alone: 200 steps of 0.05 %.
  using namespace hypoplastic::element;
  hypoplastic::Parameters p = KarlsruheFineSand(true);
  p.e0 = 0.70;
  p.tolerance = 1e-4;
  hypoplastic::State s = Isotropic(100.0, 0.70);
  double radial = 0.0;
  double peak = 0.0, peakProgram = 0.0;
  for (int k = 1; k <= 200; ++k) {
    ASSERT_TRUE(DrainedStep(p, s, -5e-4, 100.0, radial));
    peak = std::max(peak, Deviator(s));
    peakProgram = std::max(peakProgram, out.points[static_cast<std::size_t>(k)].Deviator());
  }
  // The step solver holds the cell pressure to 1e-4 of the stress increment
  // and integrates with its own stiffness iterations: 1 % apart at most.
  EXPECT_NEAR(peakProgram, peak, 0.01 * peak);
  EXPECT_NEAR(out.points.back().Deviator(), Deviator(s), 0.01 * Deviator(s));
  // Dense sand dilates: expansion positive in the recorded strains.
  EXPECT_GT(out.points.back().VolumetricStrain(), 0.005);
}

TEST(HypoplasticJob, WrongNamesAndValuesAreRefusedWithTheLibrarysWords) {
  struct Case {
    std::string model, extra, words;
  };
  const Case cases[] = {
      {"name = \"hypoplastic_snad\"", "e0 = 0.7\n",
       "unknown model name \"hypoplastic_snad\"; did you mean \"hypoplastic_sand\"?"},
      {"name = \"hypoplastic_sand\"", "phi_c2 = 3\n", "unknown parameter \"phi_c2\""},
      {"name = \"hypoplastic_sand\"", "e0 = 0.7\nn0 = 1.2\n",
       "n0 = 1.2 lies outside its physical range [0, 1)"},
      {"name = \"hypoplastic_sand\"\nnumber = 22", "e0 = 0.7\n",
       "model \"hypoplastic_sand\" is number 21, not 22"},
      {"name = \"hypoplastic_sand\"\nlibrary = \"usermod.dll\"", "e0 = 0.7\n",
       "the library \"usermod.dll\" declares no such model"},
      // The test fixtures' udsm/ holds a library whose description is refused.
      {"name = \"broken_probe\"", "",
       "a description was refused (libudsm_broken64.so, model 1: parameter 2: \"E\" is "
       "declared twice)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model + " " + c.extra);
    TempDir dir;
    dir.Write("job.toml", Job(c.model, c.extra));
    const auto error = JobFileError((dir.path() / "job.toml").string());
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->detail.find(c.words), std::string::npos) << error->detail;
    EXPECT_NE(error->detail.find("job.toml"), std::string::npos) << error->detail;
  }
}

// An installed tree: the program in bin/, the library in lib/ beside it.
// The name is found there; without the library it is not, and the sentence
// says so.
TEST(HypoplasticJob, AnInstalledProgramFindsTheModelByNameInItsLib) {
  namespace fs = std::filesystem;
  TempDir tree, dir;
  fs::create_directories(tree.path() / "bin");
  fs::create_directories(tree.path() / "lib");
  const std::string program = (tree.path() / "bin" / "soilcal").string();
  fs::copy_file(BuildPath("soilcal"), program);
  dir.Write("job.toml", Job("name = \"hypoplastic_sand\"", "e0 = 0.7\n"));
  const std::vector<std::string> args{"--write-native", (dir.path() / "out").string(),
                                      (dir.path() / "job.toml").string()};
  const ProcessRun missing = RunProcess(program, args, dir.path());
  EXPECT_NE(missing.err.find("unknown model name \"hypoplastic_sand\""), std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "T.VLT"));
  fs::copy_file(BuildPath("libhypoplastic_sand64.so"), tree.path() / "lib" / "libhypoplastic_sand64.so");
  const ProcessRun found = RunProcess(program, args, dir.path());
  EXPECT_EQ(found.exitStatus, 0) << found.err;
  EXPECT_NE(ReadFile(dir.path() / "out" / "T.VLT").find("hypoplastic_sand.dll"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
