// soilcal on job folders that a host (or a user editing files by hand) gets
// wrong: each must end with process status 0 and a result file holding
// only the "General" section with the right exit code and name. Also jobs
// that must run although their files differ from the usual form: letter
// case of the argument against the folder, Windows line ends and a
// byte-order mark, a truncated test file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;

// The parts of a small Mohr-Coulomb calibration job, spoilt by each case.
struct Job {
  OptimisationFileDesc opt = GrefAndPhi(1);
  LabTestFileDesc test;
  int xCode = -14;
  int yCode = 5;
  int segments = 1;
  double strainOffset = 0.0;  // added to every measured axial strain
  std::string optName = "OPTIM.TXT";
  std::string testName = "TRIAX.VLT";
  std::string curveName = "Q.TXT";
  bool writeTest = true;
  bool writeCurve = true;
  bool writeOpt = true;

  Job() {
    test = LabTest(2, MohrCoulombParams(MohrCoulombSoil{}), 100.0, {TriaxialPhase(-0.05, 50)});
    opt.tests = {{testName, {curveName}}};
  }

  void Write(const fs::path& dir) const {
    if (writeOpt) WriteFile(dir / optName, MakeOptimisationFile(opt));
    if (writeTest) WriteFile(dir / testName, MakeLabTestFile(test));
    if (!writeCurve) return;
    // Deviator of G = 12000 (E = 31200) and phi = 30 deg, c = 5 at 100 kPa.
    std::vector<std::vector<std::pair<double, double>>> segs(static_cast<std::size_t>(segments));
    for (int i = 1; i <= 10; ++i) {
      const double e = 0.004 * i;
      segs[0].emplace_back(e + strainOffset, std::min(31200.0 * e, FailureDeviator(0.5, 5.0, 100.0)));
    }
    WriteFile(dir / curveName, MakeCurveFile(xCode, yCode, segs));
  }
  // Writes the job into `dir` and runs soilcal on its optimisation file.
  ProcessRun Run(const TempDir& dir) const {
    Write(dir.path());
    return RunSoilcal((dir.path() / optName).string(), dir.path());
  }
};

std::string ResultText(const TempDir& dir) { return dir.Read("Optimization_result.txt"); }

// Exactly one "General" section with exit code `code` and its name line.
void ExpectOnlyGeneral(const std::string& text, int code, const std::string& name) {
  static const std::regex layout(
      " \n \\[General\\]\n Wall Time \\[ms\\] = -?[0-9]+\n CPU Time = [-+0-9.eE]+\n"
      " Exit Code = ([0-9]+)\n ([A-Z_]+) = ([0-9]+)\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, layout)) << "expected error " << code << ", got:\n" << text;
  EXPECT_EQ(std::stoi(m[1]), code);
  EXPECT_EQ(m[2], name);
  EXPECT_EQ(std::stoi(m[3]), code);
}

struct BadCase {
  std::string what;
  int code;
  std::string name;
  std::function<void(Job&)> spoil;
  bool simulated;  // the reference run comes before the failure
};

TEST(AcceptanceBadJobs, EachFaultEndsWithItsExitCodeAndStatusZero) {
  const std::vector<BadCase> cases = {
      {"optimisation file missing", 12, "NO_OPTIMIZATION_INPUT_FILE",
       [](Job& j) { j.writeOpt = false; }, false},
      {"parameter index 0", 13, "MAT_PARAM_INDEX_OUTSIDE_RANGE",
       [](Job& j) { j.opt.index = {0, 3}; }, false},
      {"parameter index 256", 13, "MAT_PARAM_INDEX_OUTSIDE_RANGE",
       [](Job& j) { j.opt.index = {1, 256}; }, false},
      {"upper bound below lower", 14, "MAT_PRM_UPPER_BOUND_ABOVE_LOWER",
       [](Job& j) { j.opt.bounds[1] = {0.6, 0.5}; }, false},
      {"test file missing", 15, "NO_INPUT_VLC_FILE", [](Job& j) { j.writeTest = false; }, false},
      {"cavity test (type 6)", 16, "ERROR_IN_VLC_PARAMETER",
       [](Job& j) { j.test.testType = 6.0; }, false},
      {"sin(phi) above 1", 16, "ERROR_IN_VLC_PARAMETER",
       [](Job& j) { j.test.params[3] = 1.2; }, false},
      {"curve file missing", 10, "CURVE_FILE_NOT_FOUND", [](Job& j) { j.writeCurve = false; },
       false},
      {"two curve segments for one phase", 11, "INTERNAL_INCONSIST_TEST_CURVE",
       [](Job& j) { j.segments = 2; }, false},
      {"quantity code 11", 17, "WRONG_MAT_PARAM_IN_CURVE_FILE", [](Job& j) { j.yCode = 11; },
       false},
      {"search intensity 4", 5, "UKNOWN_SEARCH_INTENSITY_GIVEN",
       [](Job& j) { j.opt.intensity = 4; }, true},
      // The test ends at 5 % axial strain, the measured points lie beyond:
      // every evaluation has the penalty 1e23, too little overlap.
      {"curve beyond the test's strains", 19, "SMALL_OVERLAP_CURVES",
       [](Job& j) { j.strainOffset = 0.06; }, true},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Job job;
    c.spoil(job);
    const ProcessRun run = job.Run(dir);
    EXPECT_EQ(run.exitStatus, 0);
    ExpectOnlyGeneral(ResultText(dir), c.code, c.name);
    // Input errors stop the run before the reference simulation. An
    // unknown quantity code shows when the reference run asks for its
    // value, so that curve is never written (a curve file is written whole
    // or not at all); the search intensity shows only in the optimiser,
    // after the reference run.
    EXPECT_EQ(fs::exists(dir.path() / "Q.TXT_referenced"), c.simulated);
    EXPECT_FALSE(fs::exists(dir.path() / "Q.TXT_calculated"));
    if (c.code == 17) {
      EXPECT_NE(run.out.find("ERROR: curve parameter"), std::string::npos) << run.out;
      EXPECT_NE(run.out.find(" does not exist"), std::string::npos) << run.out;
    }
  }
}

TEST(AcceptanceBadJobs, WithoutArgumentTheResultGoesToTheCurrentFolder) {
  TempDir dir;
  Job().Write(dir.path());
  const ProcessRun run = RunSoilcal(std::nullopt, dir.path());
  EXPECT_EQ(run.exitStatus, 0);
  ExpectOnlyGeneral(ResultText(dir), 2, "OPTIMIZATION_FILE_NOT_INDICATED");
  EXPECT_FALSE(fs::exists(dir.path() / "Q.TXT_referenced"));
}

// A test file saved on Windows (CRLF line ends, UTF-8 byte-order mark) is
// read as the plain one: the whole run gives the same files.
TEST(AcceptanceBadJobs, WindowsLineEndsAndByteOrderMarkReadAsPlainText) {
  std::string files[2][3];
  for (int windows = 0; windows < 2; ++windows) {
    TempDir dir;
    Job job;
    job.test.lineEnd = windows ? "\r\n" : "\n";
    job.test.byteOrderMark = windows == 1;
    job.Write(dir.path());
    if (windows) {
      // The optimisation and curve files with CRLF line ends as well.
      for (const char* name : {"OPTIM.TXT", "Q.TXT"}) {
        std::string text = ReadFile(dir.path() / name);
        std::string crlf;
        for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        dir.Write(name, crlf);
      }
    }
    const ProcessRun run = RunSoilcal((dir.path() / "OPTIM.TXT").string(), dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    files[windows][0] = WithoutTimingLines(ReadFile(dir.path() / "Optimization_result.txt"));
    files[windows][1] = ReadFile(dir.path() / "Q.TXT_referenced");
    files[windows][2] = ReadFile(dir.path() / "Q.TXT_calculated");
    EXPECT_NE(files[windows][0].find(" Exit Code = 0\n"), std::string::npos) << files[windows][0];
    // The header text is echoed without the byte-order mark or a CR.
    EXPECT_NE(run.out.find("Header line acceptance test\n"), std::string::npos) << run.out;
  }
  for (int f = 0; f < 3; ++f) EXPECT_EQ(files[1][f], files[0][f]) << "file " << f;
}

// A test file cut off inside the 200 material parameters: reading ends
// quietly, so the test has no loading phases, and its one-segment curve no
// longer matches it (error 11). No simulation runs on half a material.
TEST(AcceptanceBadJobs, TruncatedTestFileIsInconsistentWithItsCurve) {
  TempDir dir;
  Job job;
  job.Write(dir.path());
  const std::string full = ReadFile(dir.path() / job.testName);
  std::size_t cut = 0;
  for (int line = 0; line < 20 + 100; ++line) cut = full.find('\n', cut) + 1;  // 100 parameters
  dir.Write(job.testName, full.substr(0, cut));
  EXPECT_EQ(RunSoilcal((dir.path() / job.optName).string(), dir.path()).exitStatus, 0);
  ExpectOnlyGeneral(ResultText(dir), 11, "INTERNAL_INCONSIST_TEST_CURVE");
  EXPECT_FALSE(fs::exists(dir.path() / "Q.TXT_referenced"));
}

// The host stops a search by creating "AbortCalc" in the job folder. Present
// from the start, it ends the search at the first look (at most 100 ms
// in): exit code 18 with its name, the sections still written, every
// sensitivity -1 (none computed), and the "_calculated" curve written.
TEST(AcceptanceBadJobs, AbortFileEndsTheSearchWithExitCode18) {
  TempDir dir;
  Job job;
  // A search of seconds (intensity 3, a 1000-step test), so that the first
  // look at 100 ms comes long before its end on any machine.
  job.opt.intensity = 3;
  job.test.phases = {TriaxialPhase(-0.05, 1000)};
  dir.Write("AbortCalc", "");
  EXPECT_EQ(job.Run(dir).exitStatus, 0);
  const std::string text = ResultText(dir);
  const ResultFile result = ParseResultFile(text);
  ASSERT_EQ(result.sections.size(), 4u) << text;
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18.0);
  EXPECT_EQ(KeyValue(result, "General", "USER_ABORT"), 18.0);
  EXPECT_EQ(KeyValue(result, "Relative Sensitivity", "Gref"), -1.0);
  EXPECT_EQ(KeyValue(result, "Relative Sensitivity", "phi"), -1.0);
  EXPECT_TRUE(fs::exists(dir.path() / "Q.TXT_referenced"));
  // An abort seen while the starting points are still drawn leaves the
  // all-zero best point, which cannot be simulated; any later abort has a
  // best point whose curves are written.
  if (KeyValue(result, "Params", "Gref") != 0.0) {
    EXPECT_TRUE(fs::exists(dir.path() / "Q.TXT_calculated"));
  }
}

// A cavity test (5.5 rounds to 6) stops the run with error 16 before the
// next test and the curves: their missing files would give 15 and 10.
// The diagnostic file is written only when "do_opti" exists.
TEST(AcceptanceBadJobs, CavityTestStopsBeforeTheNextTestAndLogsOnlyWithDoOpti) {
  TempDir dir;
  Job job;
  job.test.testType = 5.5;
  job.testName = "cavity.vlt";  // named in upper case by the optimisation file
  job.opt.tests = {{"CAVITY.VLT", {"MISSING1.TXT"}}, {"MISSING.VLT", {"MISSING2.TXT"}}};
  job.writeCurve = false;
  job.Write(dir.path());
  dir.Write("do_opti", "");
  for (bool logged : {true, false}) {
    EXPECT_EQ(RunSoilcal((dir.path() / job.optName).string(), dir.path()).exitStatus, 0);
    ExpectOnlyGeneral(ResultText(dir), 16, "ERROR_IN_VLC_PARAMETER");
    const std::string log = ReadFile(dir.path() / "file2");
    EXPECT_EQ(log.find(" cavity: not implemented in 3D\n") != std::string::npos, logged);
    fs::remove(dir.path() / "do_opti");
    fs::remove(dir.path() / "file2");
  }
}

TEST(AcceptanceBadJobs, UnsupportedModel18EndsWithAMessageBoxAndAnEmptyResultFile) {
  TempDir dir;
  Job job;
  job.test.baseModel = 18;
  const ProcessRun run = job.Run(dir);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err.rfind("soilcal: rIroVuzu3: Still need fill_proprj_2d\nsoilcal: ", 0), 0u)
      << run.err;
  EXPECT_TRUE(fs::exists(dir.path() / "Optimization_result.txt"));
  EXPECT_EQ(ResultText(dir), "");
}

// Errors 3 and 4 need a program with nothing beside it: a copy of it in a
// folder of its own ("bin/"), where the cap library is absent or lacks
// HS_CapItr, beside it or in ../lib as in an installed tree.
TEST(AcceptanceBadJobs, HardeningSoilJobNeedsACapLibraryWithHsCapItr) {
  TempDir tree, dir;
  fs::create_directories(tree.path() / "bin");
  fs::create_directories(tree.path() / "lib");
  const std::string program = (tree.path() / "bin" / "soilcal").string();
  fs::copy_file(testing::BuildPath("soilcal"), program);
  Job job;
  job.test.baseModel = 6;
  job.test.params[31] = 0.5;  // nothing here is simulated: the load stops first
  job.Write(dir.path());
  const std::vector<std::string> args{(dir.path() / job.optName).string()};
  EXPECT_EQ(RunProcess(program, args, dir.path()).exitStatus, 0);
  const fs::path result = dir.path() / "Optimization_result.txt";
  ExpectOnlyGeneral(ReadFile(result), 3, "COULD_NOT_LOAD_ZARIRUDE_DLL");
  for (const char* place : {"bin/libzarirude.so", "bin/zarirude.dll", "bin/zarirude.so",
                            "lib/libzarirude.so"}) {
    fs::copy_file(testing::FixturePath("libsoilcal_test_nocap.so"), tree.path() / place);
    EXPECT_EQ(RunProcess(program, args, dir.path()).exitStatus, 0);
    ExpectOnlyGeneral(ReadFile(result), 4, "ZARIRUDE_DLL_IS_CORRUPT");
    fs::remove(tree.path() / place);
  }
}

}  // namespace
}  // namespace soilcal::acceptance
