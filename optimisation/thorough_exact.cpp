// The end of a thorough search that evaluated with the problem's fast
// precision: from here on every evaluation is exact, and the best point is
// evaluated again, so the figures reported for it are the program's exact
// ones at the reported parameters.
#include <algorithm>

#include "optimisation/thorough_state.hpp"

namespace soilcal::optimisation {
namespace {

// Starting step of the refinement in unit coordinates, and its evaluations.
constexpr double kPolishStep = 1e-3;
constexpr long kPolishEvaluationsPerParameter = 100;

}  // namespace

void EvaluateBestExactly(ThoroughRun& run) {
  run.eval.SetPrecision(Precision::kExact);
  if (!run.haveBest) return;
  // The best point first, then the former bests, newest first: a point the
  // fast solver could simulate may fail with the prescribed one.
  std::vector<std::vector<double>> candidates{run.bestX};
  candidates.insert(candidates.end(), run.formerBests.rbegin(), run.formerBests.rend());
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    const Evaluation e = run.eval.EvaluateOne(candidates[k]);
    if (e.status != 0 && k + 1 < candidates.size()) continue;
    // When none can be simulated exactly, the best point is reported with
    // the penalty of its failed run: the exact figure at its parameters.
    run.bestX = candidates[k];
    run.bestObjective = e.objective;
    run.bestError = e.error;
    return;
  }
}

void PolishExactly(ThoroughRun& run) {
  if (!run.haveBest || run.bestObjective >= kNoObjective) return;
  const auto& o = run.options;
  std::vector<double> u(static_cast<std::size_t>(run.n));
  for (int j = 0; j < run.n; ++j) {
    const double range = o.upper[j] - o.lower[j];
    u[j] = range > 0.0 ? (run.bestX[j] - o.lower[j]) / range : 0.0;
  }
  const long evaluations = std::min(run.remaining(), kPolishEvaluationsPerParameter * (run.n + 1L));
  run.exactRefinement = true;
  LocalStage(run, evaluations, {u, run.bestObjective, kPolishStep});
}

}  // namespace soilcal::optimisation
