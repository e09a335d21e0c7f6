// The particle swarm search: set-up, starting points, iterations until
// convergence, the iteration limit or an abort, then the sensitivities.
#include <cmath>
#include <cstdio>
#include <new>

#include "optimisation/swarm_progress.hpp"
#include "optimisation/swarm_state.hpp"
#include "services/console.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {

void PrintLabelledValue(const std::string& label, double value) {
  services::ConsoleWrite(services::ConsoleStream::kOut,
                         " " + label + " = " + services::FormatReal(value) + "\n");
}

namespace {

// The global best no longer moves by more than the relative tolerance.
bool Converged(double previous, double current, double tolerance) {
  return std::abs(previous - current) < previous * tolerance + 1e-20;
}

// The iterations until convergence, the iteration limit or an abort.
// Returns the exit status: 0, or 18 after an abort.
int Iterate(SwarmRun& run, int& iterations) {
  double previous = kNoObjective;
  for (int iteration = 1;; ++iteration) {
    iterations = iteration;
    if (EvaluateParticles(run)) return services::kUserAbort;
    UpdateVelocities(run);
    UpdatePositions(run);
    UpdateGlobalBest(run.swarm);
    ReportSwarm(run, SearchPhase::kIterations, iteration, previous);
    if (iteration > 1) {
      if (Converged(previous, run.swarm.globalBestObjective, run.options.tolerance)) return 0;
      previous = run.swarm.globalBestObjective;
      PrintLabelledValue("ERROR", run.swarm.globalBestError);
    }
    if (iteration + 1 > run.options.maxIterations) return 0;
  }
}

SwarmResult Search(SwarmRun& run) {
  SwarmResult result;
  result.exitStatus = 0;
  bool aborted = InitialPositions(run);
  if (!aborted) {
    InitialVelocities(run);
    result.exitStatus = Iterate(run, result.iterations);
    aborted = result.exitStatus == services::kUserAbort;
  } else {
    result.exitStatus = services::kUserAbort;
  }
  const Swarm& w = run.swarm;
  result.best = w.globalBest;
  result.bestObjective = w.globalBestObjective;
  result.bestError = w.globalBestError;
  result.bestEvaluated = w.globalBestObjective < kNoObjective;
  if (aborted) {
    result.sensitivity.assign(static_cast<std::size_t>(w.n), -1.0);
  } else {
    ReportSwarm(run, SearchPhase::kSensitivities, result.iterations);
    result.sensitivity = RelativeSensitivities(run.pool, run.eval.evaluations, run.options,
                                               w.globalBest, w.globalBestError);
  }
  result.evaluations = run.eval.evaluations;
  if (services::Diag().on()) {
    services::Diag().Line("PSwarm iterations", result.iterations);
    services::Diag().Line("PSwarm evaluations", static_cast<long long>(result.evaluations));
  }
  return result;
}

Swarm AllocateSwarm(int particles, int parameters) {
  try {
    return Swarm(particles, parameters);
  } catch (const std::bad_alloc&) {
    services::StopWithError(services::kCouldNotAllocateMemory);
  }
}

}  // namespace

SwarmResult PSwarm(const SwarmOptions& options, Problem& problem) {
  const SwarmSizes sizes = SizesForIntensity(options.intensity);
  const int n = static_cast<int>(options.lower.size());
  const auto rows = static_cast<std::size_t>(sizes.particles) * static_cast<std::size_t>(n);
  SwarmRun run{options,
               sizes,
               CountingProblem{problem, 0, {}},
               UniformRandom{},
               AbortWatch(options.abortFlagPath),
               AllocateSwarm(sizes.particles, n),
               std::vector<double>(rows),
               std::vector<double>(rows),
               ProblemPool(problem)};
  return Search(run);
}

}  // namespace soilcal::optimisation
