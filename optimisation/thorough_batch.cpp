// Parallel evaluation of a batch of points with one problem per thread.
#include "optimisation/thorough_batch.hpp"

#include <exception>

#include <omp.h>

namespace soilcal::optimisation {

BatchEvaluator::BatchEvaluator(Problem& problem, int threads) : problem_(problem) {
  const int wanted = threads > 0 ? threads : omp_get_max_threads();
  for (int t = 1; t < wanted; ++t) {
    std::unique_ptr<Problem> clone = problem.Clone();
    if (!clone) {
      clones_.clear();  // all threads or none: the problem stays on this thread
      return;
    }
    clones_.push_back(std::move(clone));
  }
}

Evaluation BatchEvaluator::EvaluateOne(std::span<const double> x) {
  ++evaluations_;
  return problem_.Evaluate(x);
}

void BatchEvaluator::Evaluate(std::span<const double> points, int n, std::span<Evaluation> out) {
  const int count = static_cast<int>(out.size());
  evaluations_ += count;
  if (clones_.empty() || count < 2) {
    for (int i = 0; i < count; ++i) {
      out[i] = problem_.Evaluate(points.subspan(static_cast<std::size_t>(i) * n, n));
    }
    return;
  }
  // Exceptions must not leave an OpenMP region: each is kept with its row.
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(count));
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads())
  for (int i = 0; i < count; ++i) {
    const int t = omp_get_thread_num();
    Problem& p = t == 0 ? problem_ : *clones_[static_cast<std::size_t>(t) - 1];
    try {
      out[i] = p.Evaluate(points.subspan(static_cast<std::size_t>(i) * n, n));
    } catch (...) {
      failures[static_cast<std::size_t>(i)] = std::current_exception();
    }
  }
  for (const std::exception_ptr& f : failures) {
    if (f) std::rethrow_exception(f);
  }
}

}  // namespace soilcal::optimisation
