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
  ThoroughRun(const SwarmOptions& o, long evaluations, Problem& problem, int threads,
              bool adaptiveStop)
      : options(o), n(static_cast<int>(o.lower.size())), budget(evaluations),
        adaptive(adaptiveStop), eval(problem, threads), abort(o.abortFlagPath) {}

  const SwarmOptions& options;
  int n = 0;
  long budget = 0;  // evaluations allowed to the two stages together
  bool adaptive = true;  // stop on convergence (ThoroughStopping::kAdaptive)
  // The search evaluates fast and an exact refinement follows it (then the
  // search's own local stage makes one round), and whether that refinement
  // has begun.
  bool exactRefinementFollows = false;
  bool exactRefinement = false;
  BatchEvaluator eval;
  AbortWatch abort;
  bool aborted = false;
  int iteration = 0;  // generations and local rounds so far, for the observer

  // Best usable point so far, in parameters.
  std::vector<double> bestX;
  double bestObjective = kNoObjective;
  double bestError = 1.0;
  bool haveBest = false;
  // The last points that became the best, newest last: where the exact
  // evaluation looks when the best point fails it.
  std::vector<std::vector<double>> formerBests;

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
// `evaluations` evaluations.
void LocalStage(ThoroughRun& run, long evaluations, const GlobalOutcome& start);

// Switches the run's problems to exact evaluations and makes the best point
// an exactly evaluated one: the best point found, or the newest former best
// whose exact evaluation is usable.
void EvaluateBestExactly(ThoroughRun& run);
// A short exact local refinement from the best point: the minimum of the
// fast evaluations lies a little away from the exact one.
void PolishExactly(ThoroughRun& run);

}  // namespace soilcal::optimisation
