// Batches of independent evaluations on all cores. Each thread evaluates on
// its own clone of the problem (its own simulation context); the outcomes are
// taken in task order afterwards, so a search gives the same numbers, the
// same diagnostic lines and the same errors on any number of threads. The
// pool's threads wait between batches without spinning
// (services/worker_team.hpp).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "optimisation/problem.hpp"
#include "services/worker_team.hpp"

namespace soilcal::optimisation {

// Threads for the evaluations of a search: all cores, or as many as
// OMP_NUM_THREADS asks for.
int EvaluationThreads();

// The problem and one clone for each further thread. A problem that gives no
// clone (a user-model library that must stay on one thread) keeps the pool
// at one thread.
class ProblemPool {
 public:
  // threads <= 0: EvaluationThreads().
  explicit ProblemPool(Problem& primary, int threads = 0);
  int threads() const { return static_cast<int>(clones_.size()) + 1; }
  // The problem thread `t` evaluates on (0: the primary).
  Problem& ForThread(int t) {
    return t == 0 ? primary_ : *clones_[static_cast<std::size_t>(t - 1)];
  }
  Problem& primary() { return primary_; }
  // Sets the precision of the problem and of every clone; false when the
  // problem has only its exact evaluation.
  bool SetPrecision(Precision precision);
  // The threads of the pool's batches, started with the first batch that
  // runs on more than one.
  services::WorkerTeam& team();

 private:
  Problem& primary_;
  std::vector<std::unique_ptr<Problem>> clones_;
  std::unique_ptr<services::WorkerTeam> team_;
};

// Runs work(k, problem) for the tasks k = 0 .. count-1, then complete(k) in
// task order until it returns false. On one thread each task completes right
// after its work, as a plain loop would. On several the works run at once:
// every worker thread takes the caller's floating-point mode and run state,
// a task's diagnostic lines are held back and written just before the task
// completes, and an exception of a task is raised in its place of the order
// (so the lowest task's wins); tasks after a stop are dropped unseen.
//
// `stop` (optional, thread-safe: an abort request) is asked before every
// task starts, on every thread: once it says true no further task starts,
// and the completions end before the first task that did not run. Returns
// false when a task was left out that way.
bool RunBatch(ProblemPool& pool, int count, const std::function<void(int, Problem&)>& work,
              const std::function<bool(int)>& complete,
              const std::function<bool()>& stop = {});

}  // namespace soilcal::optimisation
