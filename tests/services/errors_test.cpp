// Run errors, kernel errors and their messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "services/channels.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

// Fresh message state, virtual-lab mode off and the ".itp" record in a
// temporary folder; everything restored afterwards.
class KernelErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMessageState();
    SetVirtualLabMode(0);
    SetRecordFolder(dir_.path().string() + "/");
  }
  void TearDown() override {
    SetVirtualLabMode(0);
    InitMessageState();
    CloseAllUnits();
  }
  std::string Record() { return dir_.Read(".itp"); }

  testing::TempDir dir_;
};

// The KernelAbort that KernelError(n, texts) throws; number -999 when it
// returned instead.
KernelAbort Raise(int n, const KernelMessageTexts& texts = {}) {
  try {
    KernelError(n, texts);
  } catch (const KernelAbort& abort) {
    return abort;
  }
  return KernelAbort(-999, "", "returned");
}

TEST_F(KernelErrorTest, VirtualLabModeShowsTheNumberInTheZIrezBox) {
  SetVirtualLabMode(1);
  const KernelAbort abort = Raise(32);
  EXPECT_EQ(abort.number, 32);
  EXPECT_EQ(abort.caption, "ZIrez");
  EXPECT_EQ(abort.message, " Error 32 in program");
  // No record file on this path.
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / ".itp"));
}

TEST_F(KernelErrorTest, OutsideVirtualLabModeWarningsReturnAndOtherNumbersStop) {
  for (int n : {0, 100, 150, 200}) EXPECT_EQ(Raise(n).number, -999) << n;
  for (int n : {201, 99, 1, -4}) EXPECT_EQ(Raise(n).number, n) << n;
  // A stop outside the virtual lab shows no message box.
  EXPECT_EQ(Raise(47).caption, "");
  EXPECT_EQ(Raise(47).message, "Invalid material set.");
  EXPECT_EQ(Raise(254).message, "Cancelled by user.");
  EXPECT_EQ(Raise(31).message, "Unknown error");
  // With stop-on-error every positive number stops, warnings included.
  SetStopOnError(1);
  EXPECT_EQ(Raise(150).number, 150);
  EXPECT_EQ(Raise(0).number, -999);
}

TEST_F(KernelErrorTest, OutsideVirtualLabModeTheErrorIsRecordedAndLogged) {
  OpenWithRetry(2, (dir_.path() / "file2").string(), OpenMode::kWrite);
  CountWarning();
  CountWarning();
  Raise(47);
  EXPECT_EQ(Record(), " 0 47 0\n");
  CloseUnit(2);
  const std::string log = dir_.Read("file2");
  EXPECT_EQ(log.rfind(" MyStop 47\n 2 warnings given\n", 0), 0u) << log;
}

TEST_F(KernelErrorTest, FailedAssertionKeepsItsWordsJoinedByUnderscores) {
  OpenWithRetry(2, (dir_.path() / "file2").string(), OpenMode::kWrite);
  EXPECT_NO_THROW(CheckAssertion(true, 33, "never seen"));
  EXPECT_EQ(LastMessageText(), "");
  // 150 is a warning number, yet a failed assertion ends the run.
  EXPECT_THROW(CheckAssertion(false, 150, "stress not finite   "), KernelAbort);
  EXPECT_EQ(LastMessageText(), "stress_not_finite");
  CloseUnit(2);
  EXPECT_NE(dir_.Read("file2").find(" Assertion error: stress not finite"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::services
