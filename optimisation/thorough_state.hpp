// Internals of the thorough search shared by its stages. Points are handled
// in unit coordinates u in [0, 1]^n, x = lower + u (upper - lower), so that a
// shear modulus and a friction sine weigh alike.
#pragma once

#include <span>
#include <vector>

#include "optimisation/progress.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/swarm_state.hpp"
#include "optimisation/thorough_batch.hpp"

namespace soilcal::optimisation {

struct ThoroughRun {
  ThoroughRun(const SwarmOptions& o, long evaluations, Problem& problem, int threads)
      : options(o), n(static_cast<int>(o.lower.size())), budget(evaluations),
        eval(problem, threads), abort(o.abortFlagPath) {}

  const SwarmOptions& options;
  int n = 0;
  long budget = 0;  // evaluations allowed to the two stages together
  BatchEvaluator eval;
  AbortWatch abort;
  bool aborted = false;
  int iteration = 0;  // generations and local rounds so far, for the observer

  // Best usable point so far, in parameters.
  std::vector<double> bestX;
  double bestObjective = kNoObjective;
  double bestError = 1.0;
  bool haveBest = false;

  void ToParameters(std::span<const double> u, std::span<double> x) const {
    for (int j = 0; j < n; ++j) x[j] = options.lower[j] + u[j] * (options.upper[j] - options.lower[j]);
  }
  // Keeps (u, e) when it is usable and strictly better than the best.
  bool Offer(std::span<const double> u, const Evaluation& e);
  long remaining() const { return budget - eval.evaluations(); }
  void Tell(SearchPhase phase, double convergence, double tolerance) const;
};

// What the global stage hands to the local stage.
struct GlobalOutcome {
  std::vector<double> best;  // its best point, unit coordinates (empty after an abort)
  double objective = kNoObjective;
  double step = 0.0;  // spread of its best members, a starting step
};

// Latin-hypercube start, then differential evolution from `seed` until it
// stalls or has used `evaluations`. Run error 8 when no usable starting
// point turns up within `initLimit` draws. Offers every point to the run's
// best.
GlobalOutcome GlobalStage(ThoroughRun& run, long evaluations, long long initLimit,
                          std::uint64_t seed);

// Bound-constrained local refinement from `start` with at most
// `evaluations` evaluations. Does nothing when the library is missing.
void LocalStage(ThoroughRun& run, long evaluations, const GlobalOutcome& start);

}  // namespace soilcal::optimisation
