// Batches on several threads: outcomes, diagnostic lines and errors come out
// in task order; a whole search gives the same result on any thread count.
#include <gtest/gtest.h>

#include <omp.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analytic_problems.hpp"
#include "calibration_job.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/parallel_batch.hpp"
#include "optimisation/pswarm.hpp"
#include "services/channels.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/run_services.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

// Evaluates f(x) = sum (x_j - 0.3 j)^2 + 0.1 sin(7 x_0); points with
// x_0 + x_1 > 1.1 fail as a test run does (status 2), points outside [0, 1]
// are inadmissible. Each evaluation writes two diagnostic lines.
class Bowl : public Problem {
 public:
  explicit Bowl(bool clonable = true) : clonable_(clonable) {}
  Evaluation Evaluate(std::span<const double> x) override {
    services::Diag().Line("bowl x", x);
    if (!IsAdmissible(x)) return {1e21, 1e21, 1};
    if (x.size() > 1 && x[0] + x[1] > 1.1) {
      ++failures;
      return {1e22, 1e22, 2};
    }
    double f = 0.1 * std::sin(7.0 * x[0]);
    for (std::size_t j = 0; j < x.size(); ++j) f += (x[j] - 0.3 * j) * (x[j] - 0.3 * j);
    services::Diag().Line("bowl f", f);
    return {f, 100.0 * std::sqrt(std::abs(f)), 0};
  }
  bool IsAdmissible(std::span<const double> x) override {
    for (double v : x) {
      if (v < 0.0 || v > 1.0) return false;
    }
    return true;
  }
  std::unique_ptr<Problem> Clone() const override {
    return clonable_ ? std::make_unique<Bowl>() : nullptr;
  }
  int failures = 0;

 private:
  bool clonable_;
};

// Binds a run whose unit 2 is a file in `dir`; Log() reads it back.
struct LoggedRun {
  explicit LoggedRun(const soilcal::testing::TempDir& dir)
      : path((dir.path() / "file2").string()), binding(services) {
    services::OpenWithRetry(2, path, services::OpenMode::kWrite);
  }
  std::string Log() {
    services::Diag().Flush();
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string path;
  services::RunServices services;
  services::ServicesBinding binding;
};

// Task k writes "task k a", waits longer the lower k is (so the tasks end
// in reverse order), then "task k b"; tasks in `failing` throw between.
void SleepyTask(int k, const std::vector<int>& failing) {
  services::Diag().Line("task a", k);
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * (8 - k)));
  for (int f : failing) {
    if (f == k) throw services::KernelAbort(k, "ZIrez", "task failed");
  }
  services::Diag().Line("task b", k);
}

std::string ExpectedLog(int last, bool lastComplete) {
  std::string log;
  for (int k = 0; k <= last; ++k) {
    log += " task a " + std::to_string(k) + "\n";
    if (k < last || lastComplete) log += " task b " + std::to_string(k) + "\n";
  }
  return log;
}

TEST(ParallelBatch, TakesOutcomesDiagnosticsAndErrorsInTaskOrder) {
  soilcal::testing::TempDir dir;
  Bowl bowl;
  ProblemPool pool(bowl, 3);
  ASSERT_EQ(pool.threads(), 3);
  std::vector<int> completed;
  auto complete = [&](int k) {
    completed.push_back(k);
    return true;
  };

  {  // All tasks: completed 0..7, lines in task order.
    LoggedRun run(dir);
    RunBatch(pool, 8, [](int k, Problem&) { SleepyTask(k, {}); }, complete);
    EXPECT_EQ(completed, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(run.Log(), ExpectedLog(7, true));
  }
  {  // Tasks 5 and 2 fail: the error of 2 is raised after 0 and 1 completed,
     // with the lines task 2 wrote before it failed and none after.
    LoggedRun run(dir);
    completed.clear();
    try {
      RunBatch(pool, 8, [](int k, Problem&) { SleepyTask(k, {5, 2}); }, complete);
      ADD_FAILURE() << "no error raised";
    } catch (const services::KernelAbort& e) {
      EXPECT_EQ(e.number, 2);
    }
    EXPECT_EQ(completed, (std::vector<int>{0, 1}));
    EXPECT_EQ(run.Log(), ExpectedLog(2, false));
  }
  {  // A stop at task 3 drops the outcomes and lines of the later tasks.
    LoggedRun run(dir);
    completed.clear();
    RunBatch(pool, 8, [](int k, Problem&) { SleepyTask(k, {}); },
             [&](int k) {
               completed.push_back(k);
               return k < 3;
             });
    EXPECT_EQ(completed, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(run.Log(), ExpectedLog(3, true));
  }
}

TEST(ParallelBatch, WorkersTakeTheCallersFloatingPointModeAndUseOneProblemEach) {
  Bowl bowl;
  ProblemPool pool(bowl, 2);
  const unsigned long saved = services::FpControlWord();
  services::SetFlushToZero();
  const unsigned long caller = services::FpControlWord();
  std::vector<unsigned long> words(6, 0);
  std::vector<Problem*> used(6, nullptr);
  std::vector<std::thread::id> threads(6);
  RunBatch(
      pool, 6,
      [&](int k, Problem& p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        words[k] = services::FpControlWord();
        used[k] = &p;
        threads[k] = std::this_thread::get_id();
      },
      [](int) { return true; });
  services::SetFpControlWord(saved);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(words[k], caller) << k;
    // A problem is only ever used by one thread.
    for (int l = 0; l < 6; ++l) {
      if (used[k] == used[l]) {
        EXPECT_EQ(threads[k], threads[l]);
      }
    }
  }

  // Without clones the pool has one thread, and each task completes before
  // the next one starts.
  Bowl single(false);
  ProblemPool one(single, 4);
  EXPECT_EQ(one.threads(), 1);
  std::string order;
  RunBatch(
      one, 3,
      [&](int k, Problem& p) {
        EXPECT_EQ(&p, &single);
        order += 'w';
        order += std::to_string(k);
      },
      [&](int k) {
        order += 'c';
        order += std::to_string(k);
        return true;
      });
  EXPECT_EQ(order, "w0c0w1c1w2c2");
}

// PSwarm on `threads` threads, standard output and diagnostics captured.
struct SearchOutput {
  SwarmResult result;
  std::string out, log;
};

SearchOutput Search(Problem& problem, int threads) {
  soilcal::testing::TempDir dir;
  LoggedRun run(dir);
  const SwarmOptions o = testing::Box({0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}, 1e-6, 2);
  const int saved = omp_get_max_threads();
  omp_set_num_threads(threads);
  SearchOutput s;
  s.result = testing::Captured([&] { return PSwarm(o, problem); }, &s.out);
  omp_set_num_threads(saved);
  s.log = run.Log();
  return s;
}

TEST(ParallelSearch, SameResultOutputAndDiagnosticsOnOneTwoAndThreeThreads) {
  Bowl serial(false);
  const SearchOutput one = Search(serial, 1);
  // Some points fail like a failed test run.
  EXPECT_GT(serial.failures, 0);
  EXPECT_NEAR(one.result.best[1], 0.3, 0.1);
  ASSERT_FALSE(one.log.empty());
  for (int threads : {2, 3}) {
    SCOPED_TRACE(threads);
    Bowl bowl;
    const SearchOutput many = Search(bowl, threads);
    testing::ExpectSameResult(many.result, one.result);
    EXPECT_EQ(many.out, one.out);
    EXPECT_TRUE(many.log == one.log) << "diagnostic lines differ";
  }
}

// That a clone evaluates like the original shows in the example jobs, which
// give the reference files on two threads (reference_identity_test.cpp).
TEST(JobObjectiveClone, UserModelsWithoutTheParallelToggleStayOnOneThread) {
  soilcal::testing::TempDir dir;
  input::Job user = testing::RecoveryJob(dir.path().string() + "/");
  EXPECT_NE(JobObjective(user, models::ModelResources{}).Clone(), nullptr);
  user.modelNumber = 121;
  for (input::LabTest& t : user.tests) t.modelNumber = 121;
  EXPECT_EQ(JobObjective(user, models::ModelResources{}).Clone(), nullptr);
}

}  // namespace
}  // namespace soilcal::optimisation
