// Progress reports of the particle swarm: what the convergence test sees,
// measured the same way.
#include "optimisation/swarm_progress.hpp"

#include <cmath>

namespace soilcal::optimisation {

void ReportSwarm(const SwarmRun& run, SearchPhase phase, int iteration, double previous) {
  if (!run.options.progress) return;
  const Swarm& w = run.swarm;
  SearchProgress p;
  p.phase = phase;
  p.iteration = iteration;
  p.evaluations = run.eval.evaluations;
  const bool found = w.globalBestObjective < kNoObjective;
  p.bestError = found ? w.globalBestError : -1.0;
  p.bestObjective = found ? w.globalBestObjective : -1.0;
  p.tolerance = run.options.tolerance;
  if (found) p.best = w.globalBest;
  if (previous < kNoObjective && found) {
    // The convergence test compares |previous - current| with previous * tolerance.
    const double change = std::abs(previous - w.globalBestObjective);
    p.convergence = previous > 0.0 ? change / previous : change;
  }
  Report(run.options.progress, p);
}

}  // namespace soilcal::optimisation
