// Batches of points evaluated on the problem pool.
#include "optimisation/thorough_batch.hpp"

namespace soilcal::optimisation {

Evaluation BatchEvaluator::EvaluateOne(std::span<const double> x) {
  ++evaluations_;
  return pool_.primary().Evaluate(x);
}

void BatchEvaluator::Evaluate(std::span<const double> points, int n, std::span<Evaluation> out) {
  const int count = static_cast<int>(out.size());
  evaluations_ += count;
  RunBatch(
      pool_, count,
      [&](int i, Problem& problem) {
        out[i] = problem.Evaluate(points.subspan(static_cast<std::size_t>(i) * n, n));
      },
      [](int) { return true; });
}

}  // namespace soilcal::optimisation
