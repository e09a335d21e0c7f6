#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "input/readers.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "support/files.hpp"
#include "support/job_writer.hpp"
#include "support/run_error.hpp"

namespace soilcal::input {
namespace {

using testing::LabTestFileDesc;
using testing::LabTestPhase;
using testing::MakeLabTestFile;
using testing::RunErrorOf;

// Reads `text` as a lab-test file into a fresh record of a test with two
// curves; `current` carries the state from one file to the next.
LabTest ReadText(const std::string& text, LabTest& current) {
  testing::TempDir dir;
  LabTest record;
  record.testFile = dir.Write("test.vlc", text);
  record.nCurves = 2;
  record.curveFiles = {"a.txt", "b.txt"};
  ReadLabTestInput(record, current);
  return record;
}

LabTest ReadDesc(const LabTestFileDesc& desc) {
  LabTest current;
  return ReadText(MakeLabTestFile(desc), current);
}

// Two phases with every value different, so that a shifted line shows.
LabTestFileDesc TwoPhaseDesc(int version) {
  LabTestFileDesc s{.version = version, .headerValue = 3.5, .baseModel = 2,
                    .materialName = "Dense sand\tcomment\tmore", .testType = 1.0, .variant = 1.0,
                    .step4Value = 4.25, .tolerance = 0.001, .relaxation = 0.8,
                    .maxIterations = 350.4, .acceleration = 1.0, .realSetting2 = -2.0,
                    .step10Value = 7.0, .step11Value = 11.5, .step11Setting = 2.6,
                    .initialStress = {-100, -110, -120, 1, 2, 3}, .oldFlags = {1, 0, 1, 1, 1, 0},
                    .phases = {LabTestPhase{25, 0.5, {0, -0.01, 0, 0, 0, 0}, {-100, 0, -100, 0, 0, 0},
                                            {1, 0, 1, 1, 1, 1}},
                               LabTestPhase{40, 1.5, {0, -0.02, 0, 0, 0, 0}, {-50, 0, -60, 0, 0, 0},
                                            {0, 0, 0, 1, 1, 1}}}};
  for (int i = 1; i <= 200; ++i) s.params[static_cast<std::size_t>(i)] = 0.001 * i;
  return s;
}

TEST(LabTestReader, EveryVersionReadsItsOwnLayout) {
  for (int version : {1, 5, 6, 7, 8, 9, 12}) {
    SCOPED_TRACE(version);
    const LabTest t = ReadDesc(TwoPhaseDesc(version));
    EXPECT_EQ(t.material.version, version);
    EXPECT_EQ(t.material.headerValue, version > 8 ? 3.5 : 10.0);
    EXPECT_EQ(t.material.name, "Dense sand\tcomment");
    EXPECT_EQ(t.material.params[200], 0.001 * 200);
    EXPECT_EQ(t.testType, 1);
    EXPECT_EQ(t.modelNumber, 202);  // base 2 + 100 (1 + 1)
    EXPECT_EQ(t.maxIterations, 350);
    EXPECT_EQ(t.realSettings[1], 2.0);
    EXPECT_EQ(t.realSettings[2], version == 1 ? 7.0 : 0.0);
    EXPECT_EQ(t.step4Value, version > 8 ? 4.25 : 0.0);
    EXPECT_EQ(t.step11Value, version > 7 ? 11.5 : 0.0);
    EXPECT_EQ(t.step11Setting, version > 7 ? 3 : 0);
    EXPECT_EQ(t.initialStress, (std::array<double, 6>{-100, -110, -120, 1, 2, 3}));
    ASSERT_EQ(t.nPhases, 2);
    EXPECT_EQ(t.capacity, 66);
    EXPECT_EQ(t.prescribedStress[1][2], -60.0);
    const std::array<int, 6> old{1, 0, 1, 1, 1, 0};
    const std::array<int, 6> first = version >= 6 ? std::array<int, 6>{1, 0, 1, 1, 1, 1} : old;
    const std::array<int, 6> last = version >= 6 ? std::array<int, 6>{0, 0, 0, 1, 1, 1} : old;
    EXPECT_EQ(t.phaseFlags[0], first);
    EXPECT_EQ(t.phaseFlags[1], last);
    EXPECT_EQ(t.controlFlags, last);
  }
}

TEST(LabTestReader, UnitsGiveReferencePressureAndTimeFactor) {
  struct Case {
    const char* force;
    const char* length;
    const char* time;
    double pressure;
    double timeFactor;
  };
  const Case cases[] = {
      {"kN", "m", "day", 100.0, 86400.0},
      {"N", "mm", "s", 0.1, 1.0},
      {"kip", "in", "h", 100000.0 / 4448.2216152605 * 0.00064516, 3600.0},
      {"MN", "cm", "min", 100000.0 / 1e6 * 1e-4, 60.0},
      {"lbf", "ft", "day", 100000.0 / 4.4482216152605 * 0.09290304, 86400.0},
      // Unknown names leave the pressure unscaled for that quantity; an
      // unknown time unit counts as seconds. Names are case-sensitive.
      {"kn", "yd", "weeks", 100000.0 * 0.83612736, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.force);
    LabTestFileDesc desc = TwoPhaseDesc(9);
    desc.forceUnit = std::string(c.force) + "  force";
    desc.lengthUnit = c.length;
    desc.timeUnit = c.time;
    const LabTest t = ReadDesc(desc);
    // Two roundings (a division and a product) separate the two results.
    EXPECT_DOUBLE_EQ(t.material.referencePressure, c.pressure);
    EXPECT_EQ(t.material.timeFactor, c.timeFactor);
  }
}

TEST(LabTestReader, ReadingRulesRoundClampAndCompleteValues) {
  LabTestFileDesc desc = TwoPhaseDesc(9);
  desc.baseModel = 6;
  desc.variant = 0.0;
  desc.testType = 5.5;
  desc.tolerance = 1e-12;  // replaced by 0.01, then capped at 0.0025
  desc.relaxation = 0.0;
  desc.maxIterations = 50.0;
  desc.params[7] = 9.0;
  desc.params[19] = 9.0;
  desc.params[20] = 0.0;
  desc.phases[0].loadSteps = -5;  // counts as no step in the capacity
  LabTest t = ReadDesc(desc);
  EXPECT_EQ(t.modelNumber, 106);
  EXPECT_EQ(t.BaseModel(), 6);
  EXPECT_EQ(t.testType, 6);
  EXPECT_EQ(t.tolerance, 0.0025);
  EXPECT_EQ(t.realSettings[0], 1.0);
  EXPECT_EQ(t.maxIterations, 200);
  EXPECT_EQ(t.material.params[7], 0.0);
  EXPECT_EQ(t.material.params[19], 0.0);
  EXPECT_EQ(t.material.params[20], 0.01);
  EXPECT_EQ(t.step10Value, 7.0);
  EXPECT_EQ(t.capacity, 41);

  desc.testType = -0.5;
  desc.variant = -1.0;
  desc.tolerance = 0.002;
  t = ReadDesc(desc);
  EXPECT_EQ(t.testType, -1);
  EXPECT_EQ(t.modelNumber, 6);
  EXPECT_EQ(t.tolerance, 0.002);
}

// A file that ends or holds an unreadable value before its last phase is
// complete leaves its record without a description (so the curve check
// fails on it) while the values read stay in the current-test state.
TEST(LabTestReader, IncompleteFileLeavesItsRecordEmptyAndNamesWhereReadingEnded) {
  LabTest current;
  const LabTest first = ReadText(MakeLabTestFile(TwoPhaseDesc(9)), current);
  ASSERT_EQ(first.nPhases, 2);

  // Second file: other values, cut inside the test block after the tolerance.
  LabTestFileDesc desc = TwoPhaseDesc(9);
  for (auto& p : desc.params) p *= 2.0;
  desc.testType = 3.0;
  desc.tolerance = 0.002;
  desc.relaxation = 0.5;
  std::string text = MakeLabTestFile(desc);
  text.resize(text.find("\n0.5\n") + 1);
  ::testing::internal::CaptureStderr();
  const LabTest second = ReadText(text, current);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("test.vlc: reading ended in the test block at the end of the file"),
            std::string::npos)
      << err;
  EXPECT_EQ(second.nPhases, 0);
  EXPECT_EQ(second.capacity, 1);
  EXPECT_TRUE(second.phaseFlags.empty());
  EXPECT_EQ(second.curveFiles, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(current.material.params[100], 0.001 * 100 * 2.0);
  EXPECT_EQ(current.testType, 3);
  EXPECT_EQ(current.realSettings[0], 0.8);  // not reached: from the first file

  // Third file: ends inside the parameters; the state keeps the rest.
  text = MakeLabTestFile(TwoPhaseDesc(9));
  std::size_t cut = 0;
  for (int i = 0; i < 20; ++i) cut = text.find('\n', cut) + 1;  // header and material lines
  text.resize(cut);
  text += "5\n";  // parameter 1 only
  const LabTest third = ReadText(text, current);
  EXPECT_EQ(third.nPhases, 0);
  EXPECT_EQ(current.material.params[1], 5.0);
  EXPECT_EQ(current.material.params[2], 0.001 * 2 * 2.0);

  // Two phases declared, the file cut after phase 1: phase 2 is never
  // simulated against half a description.
  text = MakeLabTestFile(TwoPhaseDesc(6));
  text.resize(text.rfind("0 0 0 1 1 1"));
  EXPECT_EQ(ReadText(text, current).nPhases, 0);

  // A value that cannot be read in phase 2: the line and the text are named.
  text = MakeLabTestFile(TwoPhaseDesc(6));
  text.replace(text.rfind("0 0 0 1 1 1"), 11, "0 0 x 1 1 1");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReadText(text, current).nPhases, 0);
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("reading ended in phase 2 of 2 at \"x\", which cannot be read"),
            std::string::npos)
      << err;

  // A version 9 file without the free lines after its last phase is whole.
  text = MakeLabTestFile(TwoPhaseDesc(9));
  while (text.size() > 1 && text[text.size() - 2] == '\n') text.pop_back();
  const std::size_t lastFlags = text.rfind("0 0 0 1 1 1");
  text.resize(lastFlags + 12);
  EXPECT_EQ(ReadText(text, current).nPhases, 2);

  // A phase count beyond the file's end allocates nothing and stores nothing.
  desc = TwoPhaseDesc(9);
  desc.phases.clear();
  text = MakeLabTestFile(desc);
  text.replace(text.rfind("\n0\n"), 3, "\n1000000000\n");
  EXPECT_EQ(ReadText(text, current).nPhases, 0);
}

// Model 18, which stops the run at once, is checked through the program.
TEST(LabTestReader, RaisesItsRunErrors) {
  LabTest current, missing;
  missing.testFile = "/nonexistent/folder/test.vlc";
  EXPECT_EQ(RunErrorOf([&] { ReadLabTestInput(missing, current); }), 15);
  for (int slot : {3, 5}) {
    LabTestFileDesc desc = TwoPhaseDesc(9);
    desc.params[static_cast<std::size_t>(slot)] = 1.0000001;
    EXPECT_EQ(RunErrorOf([&] { ReadDesc(desc); }), 16) << slot;
    desc.params[static_cast<std::size_t>(slot)] = 1.0;  // 1.0 itself is admissible
    EXPECT_EQ(RunErrorOf([&] { ReadDesc(desc); }), 0) << slot;
  }
}

TEST(LabTestReader, UserModelParametersComeFromUdsmparmInTheCurrentFolder) {
  testing::TempDir dir;
  dir.Write("udsmparm", "1 5.5\n2, 6.5\n0 0\n3 7.5\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  LabTestFileDesc desc = TwoPhaseDesc(9);
  desc.baseModel = 22;
  const LabTest user = ReadDesc(desc);
  desc.baseModel = 2;
  const LabTest other = ReadDesc(desc);
  std::filesystem::current_path(previous);
  EXPECT_EQ(user.material.params[31], 5.5);
  EXPECT_EQ(user.material.params[32], 6.5);
  EXPECT_EQ(user.material.params[33], 0.001 * 33);  // the record with index 0 ended the file
  EXPECT_EQ(other.material.params[31], 0.001 * 31);
}

// Counts are summed in 64 bits: a test of many steps is warned about before
// it runs, one that cannot be recorded is refused; sines below -1 are warned
// about (degrees given for a sine).
TEST(LabTestReader, LargeStepCountsAndSinesBelowMinusOneAreReported) {
  LabTestFileDesc desc = TwoPhaseDesc(6);
  desc.phases[0].loadSteps = 60000;
  desc.phases[1].loadSteps = 60000;
  desc.params[3] = -30.0;
  ::testing::internal::CaptureStderr();
  const LabTest t = ReadDesc(desc);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(t.capacity, 120001);
  EXPECT_NE(err.find("warning: test.vlc line 23: material parameter 3 (sin phi) = -30 is below -1"),
            std::string::npos) << err;
  EXPECT_NE(err.find("warning: test.vlc: 120000 load steps in all"), std::string::npos) << err;

  desc.params[3] = 0.5;
  desc.phases[0].loadSteps = 2147483647;
  desc.phases[1].loadSteps = 2147483647;  // the sum overflows 32 bits
  try {
    ReadDesc(desc);
    ADD_FAILURE() << "no error for 4294967294 load steps";
  } catch (const services::RunError& e) {
    EXPECT_EQ(e.code, 6);
    EXPECT_NE(e.detail.find("4294967294 load steps in all"), std::string::npos) << e.detail;
  }
}

}  // namespace
}  // namespace soilcal::input
