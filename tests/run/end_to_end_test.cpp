// The program run on job folders whose errors stop it early: the result file's
// text, the diagnostic file and process exit status 0 whatever happened.
// (The other exit codes of bad jobs are in acceptance_bad_jobs.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "job_files.hpp"
#include "test_support.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

class ProgramRunTest : public ::testing::Test {
 protected:
  // Writes the usual job: one triaxial test with one deviator curve.
  void WriteJob(const OptimisationDesc& opt = {}, const LabTestDesc& test = {},
                const CurveDesc& curve = DeviatorCurve()) {
    job_.Write("optim.txt", OptimisationFileText(opt));
    job_.Write("TRIAX1.VLT", LabTestFileText(test));
    job_.Write("Q_EPS.TXT", CurveFileText(curve));
  }
  // Runs the program on the job's optimisation file named in lower case.
  ProgramRun Run(const std::string& program = BuildPath("soilcal")) {
    return RunProgram(program, (job_.path() / "optim.txt").string(), job_.path().string());
  }
  std::string Result() const { return job_.Read("Optimization_result.txt"); }

  TempDir job_;
};

// A result file that holds exactly one "General" section for run error
// `code`, with its name line.
void ExpectOnlyGeneralSection(const std::string& result, int code, const std::string& name) {
  std::istringstream lines(result);
  std::vector<std::string> line;
  for (std::string l; std::getline(lines, l);) line.push_back(l);
  ASSERT_EQ(line.size(), 6u) << result;
  EXPECT_EQ(line[0], " ");
  EXPECT_EQ(line[1], " [General]");
  EXPECT_EQ(line[2].rfind(" Wall Time [ms] = ", 0), 0u) << result;
  EXPECT_GE(std::stoi(line[2].substr(18)), 0);
  EXPECT_EQ(line[3].rfind(" CPU Time = ", 0), 0u) << result;
  EXPECT_GE(std::stod(line[3].substr(12)), 0.0);
  EXPECT_EQ(line[4], " Exit Code = " + std::to_string(code));
  EXPECT_EQ(line[5], " " + name + " = " + std::to_string(code));
  EXPECT_EQ(result.back(), '\n');
}

TEST_F(ProgramRunTest, CavityTestStopsWithError16BeforeTheNextTestAndTheCurves) {
  // Two tests; the first is a cavity test (5.5 rounds to 6). The second test
  // file and both curve files are missing: errors 15 and 10 would show if
  // the run went on.
  OptimisationDesc opt;
  opt.tests = {{"CAVITY.VLT", {"MISSING1.TXT"}}, {"MISSING.VLT", {"MISSING2.TXT"}}};
  LabTestDesc cavity;
  cavity.testType = 5.5;
  job_.Write("optim.txt", OptimisationFileText(opt));
  job_.Write("cavity.vlt", LabTestFileText(cavity));
  job_.Write("do_opti", "");

  EXPECT_EQ(Run().exitStatus, 0);
  ExpectOnlyGeneralSection(Result(), 16, "ERROR_IN_VLC_PARAMETER");
  EXPECT_NE(job_.Read("file2").find(" cavity: not implemented in 3D\n"), std::string::npos);

  // Without "do_opti" the diagnostic lines are discarded.
  fs::remove(job_.path() / "do_opti");
  fs::remove(job_.path() / "file2");
  EXPECT_EQ(Run().exitStatus, 0);
  ExpectOnlyGeneralSection(Result(), 16, "ERROR_IN_VLC_PARAMETER");
  EXPECT_FALSE(fs::exists(job_.path() / "file2"));
}

TEST_F(ProgramRunTest, UnsupportedModel18EndsWithAMessageBoxAndAnEmptyResultFile) {
  LabTestDesc test;
  test.baseModel = 18;
  WriteJob({}, test);
  const ProgramRun run = Run();
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err.rfind("rIroVuzu3: Still need fill_proprj_2d\nsoilcal: ", 0), 0u) << run.err;
  EXPECT_TRUE(fs::exists(job_.path() / "Optimization_result.txt"));
  EXPECT_EQ(Result(), "");
}

// Errors 3 and 4 need a program with nothing beside it: a copy of it in a
// folder of its own ("bin/"), where the cap library is absent or lacks
// HS_CapItr, beside it or in ../lib as in an installed tree.
TEST_F(ProgramRunTest, HardeningSoilJobNeedsACapLibraryWithHsCapItr) {
  TempDir tree;
  fs::create_directories(tree.path() / "bin");
  fs::create_directories(tree.path() / "lib");
  const fs::path program = tree.path() / "bin" / "soilcal";
  fs::copy_file(BuildPath("soilcal"), program);
  LabTestDesc test;
  test.baseModel = 6;
  test.params[31] = 0.5;  // nothing here is simulated: the load stops first
  WriteJob({}, test);

  EXPECT_EQ(Run(program.string()).exitStatus, 0);
  ExpectOnlyGeneralSection(Result(), 3, "COULD_NOT_LOAD_ZARIRUDE_DLL");

  for (const char* place : {"bin/libzarirude.so", "bin/zarirude.dll", "bin/zarirude.so",
                            "lib/libzarirude.so"}) {
    fs::copy_file(FixturePath("libsoilcal_test_nocap.so"), tree.path() / place);
    EXPECT_EQ(Run(program.string()).exitStatus, 0);
    ExpectOnlyGeneralSection(Result(), 4, "ZARIRUDE_DLL_IS_CORRUPT");
    fs::remove(tree.path() / place);
  }
}

}  // namespace
}  // namespace soilcal::testing
