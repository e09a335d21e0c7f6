// Batches of points evaluated on the problem pool.
#include "optimisation/thorough_batch.hpp"

namespace soilcal::optimisation {

Evaluation BatchEvaluator::EvaluateOne(std::span<const double> x) {
  ++evaluations_;
  return pool_.primary().Evaluate(x);
}

int BatchEvaluator::Evaluate(std::span<const double> points, int n, std::span<Evaluation> out,
                            const std::function<bool()>& stop) {
  const int count = static_cast<int>(out.size());
  int done = 0;
  RunBatch(
      pool_, count,
      [&](int i, Problem& problem) {
        out[i] = problem.Evaluate(points.subspan(static_cast<std::size_t>(i) * n, n));
      },
      [&](int i) {
        done = i + 1;
        return true;
      },
      stop);
  evaluations_ += done;
  return done;
}

}  // namespace soilcal::optimisation
