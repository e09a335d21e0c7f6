// The thorough search: budget, the two stages, the result record and the
// sensitivities at the best point.
#include "optimisation/thorough_search.hpp"

#include <algorithm>
#include <cstdio>

#include "optimisation/parallel_batch.hpp"
#include "optimisation/thorough_state.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"

namespace soilcal::optimisation {

namespace {

// Share of the budget one global stage may use when a local stage follows.
constexpr double kGlobalShare = 0.6;
constexpr std::uint64_t kSeed = 20261206;

// Global and local stage from fresh seeds until a cycle no longer improves
// the best by the tolerance or the budget runs short (ThoroughStopping::
// kBudget). With the adaptive test one cycle, each stage stopping when it
// has converged.
void Cycles(ThoroughRun& run, long long initLimit) {
  for (std::uint64_t cycle = 0; !run.aborted; ++cycle) {
    const double before = run.bestObjective;
    const long left = run.remaining();
    const long global = std::min(static_cast<long>(kGlobalShare * run.budget), left * 4 / 5);
    const GlobalOutcome outcome = GlobalStage(run, global, initLimit, kSeed + cycle);
    if (run.aborted) return;
    LocalStage(run, run.remaining(), outcome);
    if (run.adaptive) return;
    const bool improved = run.bestObjective < before - run.options.tolerance * std::abs(before);
    if (cycle > 0 && !improved) return;
    if (run.remaining() < run.budget / 10) return;
  }
}

// Forwards to the problem and keeps the best usable point below a bar: a
// sensitivity probe that beats the best point.
class ProbeWatch : public Problem {
 public:
  ProbeWatch(Problem& inner, double bar) : inner_(inner), bar_(bar) {}
  Evaluation Evaluate(std::span<const double> x) override {
    const Evaluation e = inner_.Evaluate(x);
    if (e.status == 0 && e.objective < bar_) {
      bar_ = e.objective;
      better.assign(x.begin(), x.end());
      betterEvaluation = e;
    }
    return e;
  }
  bool IsAdmissible(std::span<const double> x) override { return inner_.IsAdmissible(x); }

  std::vector<double> better;  // empty: no probe beat the bar
  Evaluation betterEvaluation;

 private:
  Problem& inner_;
  double bar_;
};

// The sensitivities at the best point. A probe (1 % of a range away) that
// beats the best shows the search short of the bottom: when the budget
// still holds another round of probes, the probe becomes the best, is
// refined, and the sensitivities are taken again there.
std::vector<double> Sensitivities(ThoroughRun& run, Problem& problem, long& evaluations) {
  const auto& o = run.options;
  for (;;) {
    run.Tell(SearchPhase::kSensitivities, -1.0, o.tolerance);
    ProbeWatch watch(problem, run.bestObjective);
    // The watch offers no clone, so the probes stay on this thread and are
    // seen in order.
    ProblemPool pool(watch);
    long probes = 0;
    std::vector<double> sensitivity =
        RelativeSensitivities(pool, probes, o, run.bestX, run.bestError);
    evaluations += probes;
    if (watch.better.empty() || run.remaining() < run.n || run.aborted) return sensitivity;
    std::vector<double> u(watch.better.size());
    for (int j = 0; j < run.n; ++j) u[j] = (watch.better[j] - o.lower[j]) / (o.upper[j] - o.lower[j]);
    run.Offer(u, watch.betterEvaluation);
    run.bestX = watch.better;  // exactly the probe, not its round trip through u
    LocalStage(run, run.remaining() - run.n, {u, watch.betterEvaluation.objective, 0.01});
    if (run.aborted) return {};
  }
}

}  // namespace

long ThoroughBudget(int n) { return std::min(1500L * std::max(n, 1), 5000L); }

bool ThoroughRun::Offer(std::span<const double> u, const Evaluation& e) {
  if (e.status != 0 || (haveBest && !(e.objective < bestObjective))) return false;
  if (haveBest) {
    constexpr std::size_t kKept = 8;
    if (formerBests.size() == kKept) formerBests.erase(formerBests.begin());
    formerBests.push_back(bestX);
  }
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
  p.bestObjective = haveBest ? bestObjective : -1.0;
  p.convergence = convergence;
  p.tolerance = tolerance;
  if (haveBest) p.best = bestX;
  Report(options.progress, p);
}

SwarmResult ThoroughSearch(const SwarmOptions& options, Problem& problem,
                           const ThoroughOptions& thorough) {
  const SwarmSizes sizes = SizesForIntensity(options.intensity);
  const int n = static_cast<int>(options.lower.size());
  const long total = thorough.maxEvaluations > 0 ? thorough.maxEvaluations : ThoroughBudget(n);
  // Set before the run makes the clones of the problem, which take it.
  const bool fast = thorough.fastSearch && problem.SetPrecision(Precision::kFast);
  // The sensitivities take n evaluations of the budget, the exact
  // evaluation of the best point one more.
  ThoroughRun run(options, std::max(total - n - (fast ? 1 : 0), 1L), problem, thorough.threads,
                  thorough.stopping == ThoroughStopping::kAdaptive);
  run.exactRefinementFollows = fast;
  run.Tell(SearchPhase::kStartingPoints, -1.0, options.tolerance);

  Cycles(run, sizes.initLimit);
  if (fast) {
    EvaluateBestExactly(run);
    if (!run.aborted) PolishExactly(run);
  }

  SwarmResult result;
  long probes = 0;
  if (!run.aborted) result.sensitivity = Sensitivities(run, problem, probes);
  if (run.aborted) {
    result.exitStatus = services::kUserAbort;
    result.sensitivity.assign(static_cast<std::size_t>(n), -1.0);
  }
  result.best = run.haveBest ? run.bestX : std::vector<double>(static_cast<std::size_t>(n), 0.0);
  result.bestObjective = run.bestObjective;
  result.bestError = run.bestError;
  result.bestEvaluated = run.haveBest;
  result.iterations = run.iteration;
  result.evaluations = run.eval.evaluations() + probes;
  services::Notice("thorough search: " + std::to_string(result.evaluations) +
                   " evaluations of a budget of " + std::to_string(total) + " (" +
                   std::to_string(n) + " free parameters)");
  if (services::Diag().on()) {
    services::Diag().Line("thorough search iterations", result.iterations);
    services::Diag().Line("thorough search evaluations", static_cast<long long>(result.evaluations));
  }
  return result;
}

long ContinuationBudget(int n) { return 100L * (std::max(n, 1) + 1) + n; }

SwarmResult ContinueThoroughSearch(const SwarmOptions& options, Problem& problem,
                                   const SwarmResult& found, std::span<const double> start,
                                   int threads) {
  const int n = static_cast<int>(options.lower.size());
  SwarmResult result = found;
  if (static_cast<int>(start.size()) != n || n == 0) return result;
  // Every evaluation exact: the point is reported as it is found.
  problem.SetPrecision(Precision::kExact);
  ThoroughRun run(options, ContinuationBudget(n) - n, problem, threads, true);
  run.exactRefinement = true;
  run.iteration = found.iterations;
  std::vector<double> u(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) {
    const double range = options.upper[j] - options.lower[j];
    u[j] = range > 0.0 ? std::clamp((start[j] - options.lower[j]) / range, 0.0, 1.0) : 0.0;
  }
  // The start point is evaluated again for its mean error (a profile keeps
  // only the objective) and taken exactly as it is.
  const Evaluation atStart = run.eval.EvaluateOne(start);
  if (!run.Offer(u, atStart)) return result;
  run.bestX.assign(start.begin(), start.end());
  run.Tell(SearchPhase::kIterations, -1.0, options.tolerance);
  // A step of 1 % of each range: the profile point lies near the bottom,
  // the search's own best a little away from it.
  LocalStage(run, run.remaining(), {u, atStart.objective, 0.01});
  long probes = 0;
  std::vector<double> sensitivity;
  if (!run.aborted) sensitivity = Sensitivities(run, problem, probes);
  const long used = run.eval.evaluations() + probes;
  if (run.aborted) {
    result.exitStatus = services::kUserAbort;
    result.evaluations += used;
    return result;
  }
  result.best = run.bestX;
  result.bestObjective = run.bestObjective;
  result.bestError = run.bestError;
  result.bestEvaluated = true;
  result.sensitivity = std::move(sensitivity);
  result.iterations = run.iteration;
  result.evaluations += used;
  result.continuations += 1;
  result.continuationEvaluations += used;
  const auto figure = [](double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return std::string(text);
  };
  services::Notice("thorough search: a profile met a better fit (objective " +
                   figure(atStart.objective) + " below " + figure(found.bestObjective) +
                   "); the search went on from it to " + figure(result.bestObjective) + " in " +
                   std::to_string(used) + " evaluations");
  return result;
}

}  // namespace soilcal::optimisation
