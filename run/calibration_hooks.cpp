#include "run/calibration_hooks.hpp"

#include <omp.h>

#include <utility>

#include "input/job_language.hpp"
#include "run/result_file.hpp"

namespace soilcal::run {

ThrottledProgress::ThrottledProgress(optimisation::ProgressObserver observer,
                                     std::chrono::milliseconds interval)
    : observer_(std::move(observer)), interval_(interval) {}

void ThrottledProgress::Note(const optimisation::SearchProgress& p) {
  // A new phase is always told, so that a caller sees every phase.
  const bool newPhase = !called_ || p.phase != told_;
  last_ = p;
  last_.best = {};  // the search's vector does not outlive the call
  if (!observer_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!newPhase && now - lastCall_ < interval_) return;
  told_ = p.phase;
  called_ = true;
  lastCall_ = now;
  observer_(p);
}

void ThrottledProgress::Phase(optimisation::SearchPhase phase) {
  optimisation::SearchProgress p = last_;
  p.phase = phase;
  p.convergence = -1.0;
  p.done = 0;  // the counts belong to the phase that told them
  p.total = 0;
  Note(p);
}

void ThrottledProgress::Ended(const optimisation::SwarmResult& found) {
  last_.evaluations = found.evaluations;
  last_.iteration = found.iterations;
  const bool any = found.bestObjective < 1e30;
  last_.bestError = any ? found.bestError : -1.0;
  last_.bestObjective = any ? found.bestObjective : -1.0;
}

// omp_set_num_threads sets the calling thread's own value, which its
// parallel regions (the evaluation batches) take.
ScopedEvaluationThreads::ScopedEvaluationThreads(int threads) {
  if (threads <= 0) return;
  previous_ = omp_get_max_threads();
  omp_set_num_threads(threads);
}

ScopedEvaluationThreads::~ScopedEvaluationThreads() {
  if (previous_ > 0) omp_set_num_threads(previous_);
}

std::vector<ParameterOutcome> BestParameters(const input::Job& job,
                                             const optimisation::SwarmResult& found) {
  std::vector<ParameterOutcome> out;
  const auto& index = job.settings.index;
  for (std::size_t j = 0; j < index.size() && j < found.best.size(); ++j) {
    ParameterOutcome p;
    p.best = found.best[j];
    p.sensitivity = j < found.sensitivity.size() ? found.sensitivity[j] : -1.0;
    if (job.language && j < job.language->parameters.size()) {
      const input::ParameterLanguage& language = job.language->parameters[j];
      p.name = language.name;
      p.unit = language.unit;
      p.best = input::ToJobValue(language, p.best);
    } else {
      p.name = ParamName(index[j], job.modelNumber % 100);
    }
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace soilcal::run
