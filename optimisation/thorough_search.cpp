// The thorough search: budget, the two stages, the result record and the
// sensitivities at the best point.
#include "optimisation/thorough_search.hpp"

#include <algorithm>
#include <cstdio>

#include "optimisation/thorough_state.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {

namespace {

// Share of the budget one global stage may use when a local stage follows.
constexpr double kGlobalShare = 0.6;
constexpr std::uint64_t kSeed = 20261206;

// Global and local stage from fresh seeds until a cycle no longer improves
// the best by the tolerance or the budget runs short.
void Cycles(ThoroughRun& run, long long initLimit) {
  const bool local = ThoroughHasLocalRefinement();
  for (std::uint64_t cycle = 0; !run.aborted; ++cycle) {
    const double before = run.bestObjective;
    const long left = run.remaining();
    const long global = local ? std::min(static_cast<long>(kGlobalShare * run.budget), left * 4 / 5) : left;
    const GlobalOutcome outcome = GlobalStage(run, global, initLimit, kSeed + cycle);
    if (run.aborted) return;
    if (local) LocalStage(run, run.remaining(), outcome);
    const bool improved = run.bestObjective < before - run.options.tolerance * std::abs(before);
    if (cycle > 0 && !improved) return;
    if (run.remaining() < run.budget / 10) return;
  }
}

}  // namespace

long ThoroughBudget(int n) { return std::min(1500L * std::max(n, 1), 5000L); }

bool ThoroughRun::Offer(std::span<const double> u, const Evaluation& e) {
  if (e.status != 0 || (haveBest && !(e.objective < bestObjective))) return false;
  bestX.resize(u.size());
  ToParameters(u, bestX);
  bestObjective = e.objective;
  bestError = e.error;
  haveBest = true;
  return true;
}

void ThoroughRun::Tell(SearchPhase phase, double convergence, double tolerance) const {
  SearchProgress p;
  p.phase = phase;
  p.iteration = iteration;
  p.evaluations = eval.evaluations();
  p.bestError = haveBest ? bestError : -1.0;
  p.convergence = convergence;
  p.tolerance = tolerance;
  Report(options.progress, p);
}

SwarmResult ThoroughSearch(const SwarmOptions& options, Problem& problem,
                           const ThoroughOptions& thorough) {
  const SwarmSizes sizes = SizesForIntensity(options.intensity);
  const int n = static_cast<int>(options.lower.size());
  const long total = thorough.maxEvaluations > 0 ? thorough.maxEvaluations : ThoroughBudget(n);
  // The sensitivities take n evaluations of the budget.
  ThoroughRun run(options, std::max(total - n, 1L), problem, thorough.threads);
  run.Tell(SearchPhase::kStartingPoints, -1.0, options.tolerance);

  Cycles(run, sizes.initLimit);

  SwarmResult result;
  result.best = run.haveBest ? run.bestX : std::vector<double>(static_cast<std::size_t>(n), 0.0);
  result.bestObjective = run.bestObjective;
  result.bestError = run.bestError;
  result.iterations = run.iteration;
  CountingProblem probes{problem};
  if (run.aborted) {
    result.exitStatus = services::kUserAbort;
    result.sensitivity.assign(static_cast<std::size_t>(n), -1.0);
  } else {
    run.Tell(SearchPhase::kSensitivities, -1.0, options.tolerance);
    result.sensitivity = RelativeSensitivities(probes, options, result.best, result.bestError);
  }
  result.evaluations = run.eval.evaluations() + probes.evaluations;
  std::fprintf(stderr, "thorough search: %ld evaluations of a budget of %ld (%d free parameters)\n",
               result.evaluations, total, n);
  if (services::Diag().on()) {
    services::Diag().Line("thorough search iterations", result.iterations);
    services::Diag().Line("thorough search evaluations", static_cast<long long>(result.evaluations));
  }
  return result;
}

}  // namespace soilcal::optimisation
