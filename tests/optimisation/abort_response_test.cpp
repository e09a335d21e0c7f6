// An abort request (the flag file, or an interrupt) ends a search within
// about 100 ms plus the evaluations already under way, on one thread and on
// two, in the default and in the thorough search: the workers of a parallel
// batch see the request, the batch is not finished first.
#include <gtest/gtest.h>

#include <omp.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cmath>
#include <fstream>
#include <memory>
#include <thread>

#include "analytic_problems.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Box;

constexpr auto kEvaluation = std::chrono::milliseconds(4);

// Counts every evaluation over all clones; each takes 4 ms of sleep (no
// CPU, so a loaded machine does not stretch it much). At call `requestAt`
// it makes the request and notes when.
struct Shared {
  std::atomic<long> calls{0};
  std::atomic<long> afterRequest{0};
  long requestAt = 0;
  std::function<void()> request;
  Clock::time_point requested{};
  std::atomic<bool> made{false};
};

class SlowBowl : public Problem {
 public:
  explicit SlowBowl(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  Evaluation Evaluate(std::span<const double> x) override {
    const long call = ++shared_->calls;
    if (shared_->made.load()) ++shared_->afterRequest;
    if (call == shared_->requestAt) {
      shared_->requested = Clock::now();
      shared_->request();
      shared_->made.store(true);
    }
    std::this_thread::sleep_for(kEvaluation);
    if (!IsAdmissible(x)) return {1e21, 1e21, 1};
    double f = 1.0;
    for (double v : x) f += (v - 0.3) * (v - 0.3);
    return {f, 10.0 * f, 0};
  }
  bool IsAdmissible(std::span<const double> x) override {
    for (double v : x) {
      if (v < 0.0 || v > 1.0) return false;
    }
    return true;
  }
  std::unique_ptr<Problem> Clone() const override { return std::make_unique<SlowBowl>(shared_); }

 private:
  std::shared_ptr<Shared> shared_;
};

enum class Request { kFlagFile, kInterrupt };
enum class Search { kDefault, kThorough };

struct Ending {
  SwarmResult result;
  double secondsAfterRequest = 0.0;
  long evaluationsAfterRequest = 0;
};

Ending RunUntilAborted(Search search, Request request, int threads, long requestAt) {
  soilcal::testing::TempDir dir;
  const std::string flag = (dir.path() / "AbortCalc").string();
  auto shared = std::make_shared<Shared>();
  shared->requestAt = requestAt;
  if (request == Request::kFlagFile) {
    shared->request = [flag] { std::ofstream(flag) << ""; };
  } else {
    services::InstallInterruptHandlers();
    shared->request = [] { std::raise(SIGINT); };
  }
  // Intensity 3: 90 particles of 15 samples, 1350 evaluations per batch
  // (5.4 s of evaluations): a batch run to its end would show at once.
  SwarmOptions o = Box({0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}, 1e-12, 3);
  o.abortFlagPath = flag;
  SlowBowl problem(shared);
  const int previous = omp_get_max_threads();
  omp_set_num_threads(threads);
  Ending ending;
  ending.result = testing::Captured([&] {
    return search == Search::kDefault ? PSwarm(o, problem)
                                      : ThoroughSearch(o, problem, {0, threads});
  });
  const auto end = Clock::now();
  omp_set_num_threads(previous);
  services::ClearInterrupt();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  ending.secondsAfterRequest = std::chrono::duration<double>(end - shared->requested).count();
  ending.evaluationsAfterRequest = shared->afterRequest.load();
  return ending;
}

TEST(AbortResponse, FlagFileAndInterruptEndEverySearchWithinAFractionOfASecond) {
  // Requests during the starting points, and during the line searches of
  // the first iteration (the default search) or a generation (thorough).
  struct Case {
    Search search;
    long requestAt;
  };
  for (const Case c : {Case{Search::kDefault, 10}, Case{Search::kDefault, 95},
                       Case{Search::kThorough, 5}, Case{Search::kThorough, 30}}) {
    for (Request request : {Request::kFlagFile, Request::kInterrupt}) {
      for (int threads : {1, 2}) {
        SCOPED_TRACE(::testing::Message()
                     << (c.search == Search::kDefault ? "default" : "thorough") << " search, "
                     << (request == Request::kFlagFile ? "flag file" : "interrupt") << ", "
                     << threads << " thread(s), request at evaluation " << c.requestAt);
        const Ending e = RunUntilAborted(c.search, request, threads, c.requestAt);
        EXPECT_EQ(e.result.exitStatus, services::kUserAbort);
        EXPECT_EQ(e.result.sensitivity, std::vector<double>(3, -1.0));
        // The flag file is looked for every 100 ms, an interrupt at every
        // look: 0.5 s holds the look, the evaluations under way on each
        // thread (4 ms each) and a loaded machine's delays.
        EXPECT_LT(e.secondsAfterRequest, 0.5);
        // 100 ms are 25 evaluations per thread, plus the one under way.
        EXPECT_LE(e.evaluationsAfterRequest, threads * 27L);
        // A best point that was evaluated, not one made up.
        if (e.result.bestObjective < 1e20) {
          double f = 1.0;
          for (double v : e.result.best) f += (v - 0.3) * (v - 0.3);
          EXPECT_EQ(e.result.bestObjective, f);
        }
      }
    }
  }
}

}  // namespace
}  // namespace soilcal::optimisation
