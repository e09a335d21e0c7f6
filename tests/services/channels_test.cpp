// Units, the diagnostic channel and opening with retries.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "services/channels.hpp"
#include "services/diag.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

using Clock = std::chrono::steady_clock;

// Restores the default retry delay and closes the units a test opened.
struct ChannelGuard {
  ~ChannelGuard() {
    SetRetryDelayUnitMs(100);
    CloseAllUnits();
  }
};

TEST(Channels, FindFreeUnitSkipsOpenUnitsAndStopsAt99) {
  ChannelGuard guard;
  testing::TempDir dir;
  const std::string a = dir.Write("a.txt", "a\n");
  ASSERT_TRUE(OpenWithRetry(10, a, OpenMode::kRead));
  ASSERT_TRUE(OpenWithRetry(11, a, OpenMode::kRead));
  EXPECT_EQ(FindFreeUnit(10), 12);
  EXPECT_EQ(FindFreeUnit(11), 12);
  EXPECT_EQ(FindFreeUnit(13), 13);
  CloseUnit(10);
  EXPECT_EQ(FindFreeUnit(10), 10);
  EXPECT_FALSE(IsUnitOpen(10));
  EXPECT_EQ(UnitFile(10), nullptr);

  // 99 is returned even when it is open: the search never goes past it.
  ASSERT_TRUE(OpenWithRetry(98, a, OpenMode::kRead));
  ASSERT_TRUE(OpenWithRetry(99, a, OpenMode::kRead));
  EXPECT_EQ(FindFreeUnit(98), 99);
}

TEST(Channels, OpenWithRetryGivesUpAfterFiveGrowingWaits) {
  ChannelGuard guard;
  testing::TempDir dir;
  ASSERT_TRUE(OpenWithRetry(2, (dir.path() / "file2").string(), OpenMode::kWrite));
  SetRetryDelayUnitMs(10);
  const std::string missing = (dir.path() / "missing.txt").string();

  const auto t0 = Clock::now();
  EXPECT_FALSE(OpenWithRetry(15, missing, OpenMode::kRead));
  const auto waited = Clock::now() - t0;

  EXPECT_FALSE(IsUnitOpen(15));
  // 10 + 20 + 30 + 40 + 50 ms of delay units of 10 ms.
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  CloseUnit(2);
  const std::string text = dir.Read("file2");
  std::size_t count = 0;
  for (auto at = text.find("Problem to opening"); at != std::string::npos;
       at = text.find("Problem to opening", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 5u) << text;
}

}  // namespace
}  // namespace soilcal::services
