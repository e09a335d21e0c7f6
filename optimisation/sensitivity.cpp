// Relative sensitivities: how much the mean error moves when one parameter
// moves by 1 % of its range from the best point.
#include <algorithm>
#include <cmath>

#include "optimisation/swarm_state.hpp"

namespace soilcal::optimisation {

std::vector<double> RelativeSensitivities(ProblemPool& pool, long& evaluations,
                                          const SwarmOptions& options,
                                          std::span<const double> best, double bestError) {
  const std::size_t n = best.size();
  std::vector<double> sensitivity(n, 0.0);
  // Point j moves parameter j forward, or backward when the forward point is
  // not admissible.
  std::vector<std::vector<double>> points(n, std::vector<double>(best.begin(), best.end()));
  for (std::size_t j = 0; j < n; ++j) {
    std::vector<double>& xp = points[j];
    double h = (options.upper[j] - options.lower[j]) * 0.01;
    xp[j] = best[j] + h;
    if (!pool.primary().IsAdmissible(xp)) {
      // The backward point is taken whatever the rules say of it.
      h = -h;
      xp[j] = best[j] + h;
    }
  }
  std::vector<Evaluation> moved(n);
  RunBatch(
      pool, static_cast<int>(n),
      [&](int j, Problem& problem) { moved[j] = problem.Evaluate(points[j]); },
      [&](int j) {
        ++evaluations;
        sensitivity[j] = std::abs(moved[j].error - bestError);
        return true;
      });
  double largest = 0.0;
  for (double s : sensitivity) largest = std::max(largest, s);
  // 1e-20 keeps all-zero sensitivities at 0 instead of 0/0.
  for (double& s : sensitivity) s = s / (largest + 1e-20) * 100.0;
  return sensitivity;
}

}  // namespace soilcal::optimisation
