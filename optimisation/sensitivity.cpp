// Relative sensitivities: how much the mean error moves when one parameter
// moves by 1 % of its range from the best point.
#include <algorithm>
#include <cmath>

#include "optimisation/swarm_state.hpp"

namespace soilcal::optimisation {

std::vector<double> RelativeSensitivities(CountingProblem& eval, const SwarmOptions& options,
                                          std::span<const double> best, double bestError) {
  const std::size_t n = best.size();
  std::vector<double> sensitivity(n, 0.0);
  std::vector<double> xp(best.begin(), best.end());
  for (std::size_t j = 0; j < n; ++j) {
    std::copy(best.begin(), best.end(), xp.begin());
    double h = (options.upper[j] - options.lower[j]) * 0.01;
    xp[j] = best[j] + h;
    if (!eval.problem.IsAdmissible(xp)) {
      // The backward point is taken whatever the rules say of it.
      h = -h;
      xp[j] = best[j] + h;
    }
    const Evaluation e = eval.Evaluate(xp);
    sensitivity[j] = std::abs(e.error - bestError);
  }
  double largest = 0.0;
  for (double s : sensitivity) largest = std::max(largest, s);
  // 1e-20 keeps all-zero sensitivities at 0 instead of 0/0.
  for (double& s : sensitivity) s = s / (largest + 1e-20) * 100.0;
  return sensitivity;
}

}  // namespace soilcal::optimisation
