// The worker team: every thread of a batch runs once, on distinct threads,
// batch after batch; errors reach the caller; waiting threads use no CPU
// time. The greedy schedule against hand-laid cases.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "services/batch_timing.hpp"
#include "services/clock.hpp"
#include "services/worker_team.hpp"

namespace soilcal::services {
namespace {

TEST(WorkerTeam, EachThreadRunsOnceOnItsOwnThreadInEveryBatch) {
  WorkerTeam team;
  const std::thread::id caller = std::this_thread::get_id();
  for (int batch = 0; batch < 200; ++batch) {
    const int threads = 1 + batch % 3;
    std::vector<int> runs(static_cast<std::size_t>(threads), 0);
    std::vector<std::thread::id> ids(static_cast<std::size_t>(threads));
    team.Run(threads, [&](int t) {
      ++runs[static_cast<std::size_t>(t)];
      ids[static_cast<std::size_t>(t)] = std::this_thread::get_id();
      EXPECT_TRUE(InTeamWork());
    });
    for (int r : runs) ASSERT_EQ(r, 1) << "batch " << batch;
    EXPECT_EQ(ids[0], caller);
    EXPECT_EQ(std::set<std::thread::id>(ids.begin(), ids.end()).size(), ids.size());
  }
  EXPECT_FALSE(InTeamWork());  // the caller's mark ends with the batch
}

TEST(WorkerTeam, WorkSharedByACounterIsDoneOnceWhateverThreadTakesIt) {
  WorkerTeam team;
  constexpr int kTasks = 10000;
  std::vector<std::atomic<int>> done(kTasks);
  std::atomic<int> next{0};
  team.Run(3, [&](int) {
    for (int k = next.fetch_add(1); k < kTasks; k = next.fetch_add(1)) done[k].fetch_add(1);
  });
  for (const auto& d : done) ASSERT_EQ(d.load(), 1);
}

TEST(WorkerTeam, TheLowestThreadsErrorReachesTheCallerAndTheTeamGoesOn) {
  WorkerTeam team;
  try {
    team.Run(3, [](int t) {
      if (t >= 1) throw std::runtime_error("thread " + std::to_string(t));
    });
    FAIL() << "no error raised";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "thread 1");
  }
  std::atomic<int> ran{0};
  team.Run(3, [&](int) { ++ran; });
  EXPECT_EQ(ran.load(), 3);
}

TEST(WorkerTeam, WaitingThreadsTakeNoCpuTime) {
  // One thread works 0.3 s while the other has nothing to do: a spinning
  // wait would double the process's CPU time, a blocked one adds next to
  // nothing. Process CPU, so a loaded machine only makes the work slower.
  WorkerTeam team;
  team.Run(2, [](int) {});  // the threads are started
  const double before = CpuTime();
  double worked = 0.0;
  team.Run(2, [&](int t) {
    if (t != 0) return;
    const double start = ThreadCpuTime();
    volatile double x = 0.0;
    while (ThreadCpuTime() - start < 0.3) x = x + 1.0;
    worked = ThreadCpuTime() - start;
  });
  const double used = CpuTime() - before;
  EXPECT_GE(worked, 0.3);
  EXPECT_LT(used, worked + 0.05) << "the idle thread used " << used - worked << " s of CPU";
}

TEST(GreedyMakespan, TasksGoInOrderToTheFirstFreeThread) {
  // 3, 1, 1, 1 on two threads: 3 on one, the three 1s on the other: 3.
  EXPECT_DOUBLE_EQ(GreedyMakespan(std::vector<double>{3, 1, 1, 1}, 2), 3.0);
  // 1, 1, 1, 3 on two threads: the 3 comes last, after a 1: 1 + 3 = 4.
  EXPECT_DOUBLE_EQ(GreedyMakespan(std::vector<double>{1, 1, 1, 3}, 2), 4.0);
  // One thread: the sum; more threads than tasks: the longest.
  EXPECT_DOUBLE_EQ(GreedyMakespan(std::vector<double>{2, 5, 1}, 1), 8.0);
  EXPECT_DOUBLE_EQ(GreedyMakespan(std::vector<double>{2, 5, 1}, 4), 5.0);
  EXPECT_DOUBLE_EQ(GreedyMakespan(std::vector<double>{}, 2), 0.0);
}

}  // namespace
}  // namespace soilcal::services
