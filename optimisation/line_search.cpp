// The line search of one particle along its velocity.
#include <algorithm>

#include "optimisation/swarm_state.hpp"

namespace soilcal::optimisation {

LineSearchResult VelocityLineSearch(CountingProblem& eval, std::span<double> x,
                                    std::span<const double> v, int m,
                                    std::span<double> trial) {
  LineSearchResult result;
  for (int s = 1; s <= m; ++s) {
    // t = -2..2 for m = 5, -5..4 for m = 10, -7..7 for m = 15.
    const double t = s - m / 2 - 1;
    for (std::size_t j = 0; j < x.size(); ++j) trial[j] = x[j] + t * v[j];
    const Evaluation e = eval.Evaluate(trial);
    if (e.status == 0 && e.objective < result.objective) {
      result.objective = e.objective;
      result.error = e.error;
      result.improved = true;
      // Later samples start from the moved point.
      std::copy(trial.begin(), trial.end(), x.begin());
    }
    if (s < m && eval.AbortRequested()) break;
  }
  return result;
}

}  // namespace soilcal::optimisation
