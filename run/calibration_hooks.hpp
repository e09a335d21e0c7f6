// Pieces of a calibration run that serve the callers of RunCalibration: the
// progress observer at a limited rate, the thread count of one run, and the
// best parameters named as the summary names them.
#pragma once

#include <chrono>
#include <vector>

#include "input/records.hpp"
#include "optimisation/progress.hpp"
#include "optimisation/pswarm.hpp"
#include "run/calibration.hpp"

namespace soilcal::run {

// Passes reports on to an observer at most once per interval (the first
// always). It remembers the last report, so that the reference run and the
// final run can be told with the counts the search reached.
class ThrottledProgress {
 public:
  ThrottledProgress() = default;
  ThrottledProgress(optimisation::ProgressObserver observer, std::chrono::milliseconds interval);
  void Note(const optimisation::SearchProgress& p);
  // The last report with another phase (the reference and the final run).
  void Phase(optimisation::SearchPhase phase);
  // The counts and the best point the search ended with, for the reports
  // after it (not delivered by itself).
  void Ended(const optimisation::SwarmResult& found);
  bool active() const { return static_cast<bool>(observer_); }

 private:
  optimisation::ProgressObserver observer_;
  std::chrono::milliseconds interval_{100};
  std::chrono::steady_clock::time_point lastCall_{};
  bool called_ = false;
  optimisation::SearchPhase told_{};  // the phase of the last call
  optimisation::SearchProgress last_;
};

// Sets the evaluation threads of the calling thread's searches while it
// lives (threads <= 0 leaves them); other threads keep theirs.
class ScopedEvaluationThreads {
 public:
  explicit ScopedEvaluationThreads(int threads);
  ~ScopedEvaluationThreads();
  ScopedEvaluationThreads(const ScopedEvaluationThreads&) = delete;
  ScopedEvaluationThreads& operator=(const ScopedEvaluationThreads&) = delete;

 private:
  int previous_ = 0;
};

// The best point of a search as the summary shows it.
std::vector<ParameterOutcome> BestParameters(const input::Job& job,
                                             const optimisation::SwarmResult& found);

}  // namespace soilcal::run
