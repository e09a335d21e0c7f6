// Set-up of a search: sizes, the abort watch, the arrays, the starting
// points and velocities.
#include <cstdlib>
#include <utility>

#include "optimisation/swarm_state.hpp"
#include "services/clock.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

SwarmSizes SizesForIntensity(int intensity) {
  switch (intensity) {
    case 1: return {10, 5, 10000};
    case 2: return {30, 10, 100000};
    case 3: return {90, 15, 100000000};
    default:
      services::StopWithError(services::kUnknownSearchIntensity,
                              "search intensity " + std::to_string(intensity) +
                                  " is not 1 (10 particles), 2 (30) or 3 (90)");
  }
}

AbortWatch::AbortWatch(std::string flagPath)
    : path_(std::move(flagPath)), last_(services::WallClockMs()) {}

bool AbortWatch::Requested() {
  // Ctrl-C or SIGTERM: seen at once, not only every 100 ms.
  if (services::InterruptRequested()) return true;
  const int now = services::WallClockMs();
  // The absolute difference keeps the check alive when the clock passes
  // midnight and starts again from 0.
  if (std::abs(now - last_) <= 100) return false;
  last_ = now;
  return !path_.empty() && services::FileExists(path_);
}

Swarm::Swarm(int particles, int parameters) : S(particles), n(parameters) {
  const auto cells = static_cast<std::size_t>(S) * static_cast<std::size_t>(n);
  position.assign(cells, 0.0);
  velocity.assign(cells, 0.0);
  bestPosition.assign(cells, 0.0);
  bestObjective.assign(static_cast<std::size_t>(S), 0.0);
  bestError.assign(static_cast<std::size_t>(S), -1.0);
  globalBest.assign(static_cast<std::size_t>(n), 0.0);
}

bool InitialPositions(SwarmRun& run) {
  Swarm& w = run.swarm;
  const auto& lo = run.options.lower;
  const auto& up = run.options.upper;
  long long attempts = 0;
  int i = 0;
  while (i < w.S) {
    for (int j = 0; j < w.n; ++j) {
      const double r = run.random.Next();
      w.At(w.position, i, j) = lo[j] + r * (up[j] - lo[j]);
    }
    const Evaluation e = run.eval.Evaluate(w.Row(w.position, i));
    if (run.abort.Requested()) return true;
    if (e.status == 0) {
      ++i;
    } else if (e.status < 1 || e.status > 3) {
      services::StopWithError(services::kInternalErrorPswarm);
    }
    // A failed or inadmissible point is drawn again, within a budget.
    if (++attempts > run.sizes.initLimit) {
      services::StopWithError(services::kCouldNotInitializePoints,
                              "no starting point could be simulated; most frequent reason: " +
                                  run.eval.failures.MostFrequent());
    }
  }
  return false;
}

void InitialVelocities(SwarmRun& run) {
  Swarm& w = run.swarm;
  const auto& lo = run.options.lower;
  const auto& up = run.options.upper;
  for (int i = 0; i < w.S; ++i) {
    for (int j = 0; j < w.n; ++j) {
      const double r = run.random.Next();
      w.At(w.velocity, i, j) = (up[j] - lo[j]) * 0.05 * (r - 0.5);
    }
  }
  for (double& b : w.bestObjective) b = kNoObjective;
}

}  // namespace soilcal::optimisation
