// The optimisation input file and the measured curves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "input/readers.hpp"
#include "services/paths.hpp"
#include "support/files.hpp"
#include "support/job_writer.hpp"
#include "support/run_error.hpp"

namespace soilcal::input {
namespace {

using testing::RunErrorOf;

int OptimisationError(const std::string& text) {
  testing::TempDir dir;
  const std::string path = dir.Write("opt.txt", text);
  Job job;
  return RunErrorOf([&] { ReadOptimisationInput(path, job); });
}

TEST(OptimisationReader, ReadsSettingsAndPutsEveryFileInTheProjectFolder) {
  testing::TempDir dir;
  const std::string text =
      "2\n2\n1.0d-3\n3\n1\n20, 40\n2.0 2.0\n2\n"
      "C:\\other\\dir\\Test1.vlc 2\n"
      "D:\\x\\c1.txt\n"
      "'sub/c 2.txt'\n"
      "\"my test, 2.vlc\",0\n";
  dir.Write("opt.txt", text);
  dir.Write("test1.vlc", "x");
  // The program gets its argument upper-cased; names resolve without case.
  const std::string argument = services::ToUpperCase(dir.path().string() + "/opt.txt");
  Job job;
  ReadOptimisationInput(argument, job);
  const std::string folder = services::ToUpperCase(dir.path().string() + "/");
  EXPECT_EQ(job.projectFolder, folder);
  const OptimisationSettings& s = job.settings;
  EXPECT_EQ(std::tie(s.nParams, s.intensity, s.tolerance, s.index, s.lower, s.upper),
            std::make_tuple(2, 2, 1e-3, std::vector<int>{3, 1}, std::vector<double>{20.0, 2.0},
                            std::vector<double>{40.0, 2.0}));
  ASSERT_EQ(job.tests.size(), 2u);
  EXPECT_EQ(job.tests[0].testFile, folder + "Test1.vlc");
  EXPECT_TRUE(services::FileExists(job.tests[0].testFile));
  EXPECT_EQ(job.tests[0].nCurves, 2);
  EXPECT_EQ(job.tests[0].curveFiles, (std::vector<std::string>{folder + "c1.txt", folder + "c 2.txt"}));
  EXPECT_EQ(job.tests[1].testFile, folder + "my test, 2.vlc");
  EXPECT_EQ(job.tests[1].nCurves, 0);

  // Named without a folder: every file is relative to the current folder.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Job relative;
  ReadOptimisationInput("opt.txt", relative);
  std::filesystem::current_path(previous);
  EXPECT_EQ(relative.projectFolder, "./");
  EXPECT_EQ(relative.tests[0].testFile, "./Test1.vlc");
}

TEST(OptimisationReader, LongNamesAreCutToTheirFields) {
  testing::TempDir dir;
  // The name fits a record; with the folder in front the path is longer
  // than the 255 characters of its field.
  const std::string longTest(250, 't');
  const std::string longCurve(100, 'c');
  const std::string path = dir.Write("opt.txt", "0\n1\n0.01\n1\n" + longTest + " 1\n" + longCurve + "\n");
  Job job;
  ReadOptimisationInput(path, job);
  ASSERT_EQ(job.tests.size(), 1u);
  EXPECT_EQ(job.tests[0].testFile, job.projectFolder + longTest);  // the path is never cut
  EXPECT_EQ(job.tests[0].curveFiles[0], job.projectFolder + std::string(80, 'c'));
  // A record cut at 255 characters loses the curve count that followed.
  EXPECT_EQ(OptimisationError("0\n1\n0.01\n1\n" + std::string(300, 't') + " 1\nc.txt\n"), 12);
}

TEST(OptimisationReader, RaisesTheRunErrorOfEachFault) {
  Job job;
  EXPECT_EQ(RunErrorOf([&] { ReadOptimisationInput("/nonexistent/opt.txt", job); }), 12);
  EXPECT_EQ(OptimisationError("1\n1\n0.01\n0\n1 2\n0\n"), 13);
  EXPECT_EQ(OptimisationError("1\n1\n0.01\n256\n1 2\n0\n"), 13);
  EXPECT_EQ(OptimisationError("2\n1\n0.01\n1\n0\nbad bounds\n"), 13);  // at once, before the bounds
  EXPECT_EQ(OptimisationError("2\n1\n0.01\n1\n2\n1 2\n2.0 1.0\n0\n"), 14);
  EXPECT_EQ(OptimisationError("300\n1\n0.01\n"), 6);  // more free parameters than slots
  // Malformed content: text for a number, a file that ends early.
  EXPECT_EQ(OptimisationError("1\nfast\n0.01\n1\n1 2\n0\n"), 12);
  EXPECT_EQ(OptimisationError("1\n1\n0.01\n1\n1\n"), 12);
  EXPECT_EQ(OptimisationError("0\n1\n0.01\n1\ntest.vlc 3\nc1.txt\n"), 12);
  EXPECT_EQ(OptimisationError("0\n1\n0.01\n2000000000\n"), 12);  // the list grows as it is read
  EXPECT_EQ(OptimisationError("0\n1\n0.01\n1\ntest.vlc 2000000000\nc.txt\n"), 12);
  EXPECT_EQ(OptimisationError("1\n1\n0.01\n1\n1 2\n0\n"), 0);
}

// A test description as the lab-test file gives it, with its curve files.
struct CurveJob {
  testing::TempDir dir;
  Job job;
  explicit CurveJob(std::array<int, 6> flags, int testType = 0, int nPhases = 1) {
    LabTest t;
    t.controlFlags = flags;
    t.testType = testType;
    t.nPhases = nPhases;
    job.tests.push_back(t);
  }
  void AddCurve(const std::string& text) {
    LabTest& t = job.tests[0];
    t.curveFiles.push_back(dir.Write("c" + std::to_string(t.nCurves++) + ".txt", text));
  }
};

TEST(CurveReader, ColumnsAreExchangedWhenOnlyTheSecondQuantityIsPrescribed) {
  using testing::MakeCurveFile;
  const std::vector<std::vector<std::pair<double, double>>> points{{{1.0, 10.0}, {2.0, 20.0}}};
  struct Case {
    std::array<int, 6> flags;
    int testType;
    int c1, c2;
    bool swapped;
  };
  const Case cases[] = {
      {{0, 1, 1, 1, 1, 1}, 0, 2, 15, false},   // 15 (flag 1 = 1) is not prescribed
      {{1, 1, 1, 1, 1, 1}, 0, 2, 15, true},    // 15 prescribed, 2 (flag 1 = 0) not
      {{1, 0, 1, 1, 1, 1}, 0, 9, 1, true},     // code 1: flag 2 = 0 and type 0
      {{1, 0, 1, 1, 1, 1}, 1, 9, 1, false},    // ... not for another test type
      {{1, 0, 1, 1, 1, 1}, 0, -3, 1, false},   // both prescribed: order kept
      {{0, 0, 0, 1, 1, 1}, 0, 8, -22, true},   // 22: flags 1..3 all 0
      {{1, 1, 1, 1, 1, 1}, 0, 8, 13, true},    // 13: flags 1..3 all 1
      {{1, 1, 1, 1, 1, 0}, 0, 24, 7, true},    // 7: flag 6 = 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.c1) + " " + std::to_string(c.c2));
    CurveJob j(c.flags, c.testType);
    j.AddCurve(MakeCurveFile(c.c1, c.c2, points));
    ReadMeasuredCurves(j.job);
    const Curve& curve = j.job.tests[0].curves.at(0);
    EXPECT_EQ(curve.swapped, c.swapped);
    EXPECT_EQ(curve.xCode, c.swapped ? c.c2 : c.c1);
    EXPECT_EQ(curve.yCode, c.swapped ? c.c1 : c.c2);
    EXPECT_EQ(curve.x, c.swapped ? (std::vector<double>{10, 20}) : (std::vector<double>{1, 2}));
    EXPECT_EQ(curve.y, c.swapped ? (std::vector<double>{1, 2}) : (std::vector<double>{10, 20}));
  }
}

TEST(CurveReader, RaisesTheRunErrorOfEachFault) {
  auto errorOf = [](const std::string& text) {
    CurveJob j({1, 1, 1, 1, 1, 1}, 0, 1);
    j.AddCurve(text);
    return RunErrorOf([&] { ReadMeasuredCurves(j.job); });
  };
  CurveJob missing({1, 1, 1, 1, 1, 1});
  missing.job.tests[0].curveFiles = {missing.dir.path().string() + "/none.txt"};
  EXPECT_EQ(RunErrorOf([&] { ReadMeasuredCurves(missing.job); }), 10);
  EXPECT_EQ(errorOf("14 9\n2\n0\n1\n1\n0 0\n1 1\n"), 11);      // two segments, one phase
  EXPECT_EQ(errorOf("14 9\n1\n0\n2\n0 0\n1 x\n"), 11);         // text for a number
  EXPECT_EQ(errorOf("14 9\n1\n0\n3\n0 0\n1 1\n"), 11);         // fewer points than announced
  EXPECT_EQ(errorOf("14 9\n1\n0\n-2\n"), 11);
  EXPECT_EQ(errorOf("14 9\n1\n0\n2000000000\n0 0\n"), 11);     // no array of that size
  EXPECT_EQ(errorOf("fourteen 9\n1\n0\n1\n0 0\n"), 11);
  EXPECT_EQ(errorOf("14 9\n1\n0\n1\n0 0\n"), 0);
}

}  // namespace
}  // namespace soilcal::input
