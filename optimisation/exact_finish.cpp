#include "optimisation/exact_finish.hpp"

#include "optimisation/swarm_state.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {

void FinishExactly(const SwarmOptions& options, Problem& problem, SwarmResult& result) {
  problem.SetPrecision(Precision::kExact);
  // An abort before the first usable point leaves no best point to redo.
  if (result.best.empty() || result.bestObjective >= kNoObjective) return;
  const Evaluation e = problem.Evaluate(result.best);
  ++result.evaluations;
  result.bestObjective = e.objective;
  result.bestError = e.error;
  if (result.exitStatus == services::kUserAbort) return;
  ProblemPool pool(problem);
  result.sensitivity =
      RelativeSensitivities(pool, result.evaluations, options, result.best, result.bestError);
}

}  // namespace soilcal::optimisation
