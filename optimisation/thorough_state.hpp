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

  // Best usable point so far (unit coordinates and parameters).
  std::vector<double> bestUnit, bestX;
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

// Latin-hypercube start, then differential evolution until it stalls or
// has used `evaluations`. Run error 8 when no usable starting point turns up
// within `initLimit` draws. Updates the run's best and returns the spread of
// the final population's best members (unit coordinates), a step for the
// local stage.
double GlobalStage(ThoroughRun& run, long evaluations, long long initLimit);

// Bound-constrained local refinement of the run's best point with at most
// `evaluations` evaluations. Does nothing when the library is missing.
void LocalStage(ThoroughRun& run, long evaluations, double step);

}  // namespace soilcal::optimisation
