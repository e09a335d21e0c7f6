// One iteration of the swarm: line searches, velocities, positions and the
// global best. The order of the random draws fixes the trial points.
#include <algorithm>
#include <cmath>
#include <utility>

#include "optimisation/swarm_state.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {

bool EvaluateParticles(SwarmRun& run) {
  Swarm& w = run.swarm;
  std::vector<LineSearchResult> searched(static_cast<std::size_t>(w.S));
  std::vector<long> evaluations(static_cast<std::size_t>(w.S), 0);
  std::vector<FailureTally> failures(static_cast<std::size_t>(w.S));
  // Particle i searches in row i of the scratch arrays.
  auto row = [&](std::vector<double>& a, int i) {
    return std::span<double>(a).subspan(static_cast<std::size_t>(i) * w.n, w.n);
  };
  bool aborted = false;
  const bool whole = RunBatch(
      run.pool, w.S,
      [&](int i, Problem& problem) {
        const auto pos = w.Row(w.position, i);
        const auto x = row(run.work, i);
        std::copy(pos.begin(), pos.end(), x.begin());
        // The line search stops between its evaluations once an abort is
        // requested; the particle's outcome is then never taken.
        CountingProblem eval{problem, 0, {}, &run.abort};
        searched[i] = VelocityLineSearch(eval, x, w.Row(w.velocity, i), run.sizes.samples,
                                         row(run.trial, i));
        evaluations[i] = eval.evaluations;
        failures[i] = std::move(eval.failures);
      },
      [&](int i) {
        run.eval.evaluations += evaluations[i];
        run.eval.failures.Merge(failures[i]);
        if (run.abort.Requested()) {
          aborted = true;
          return false;
        }
        const LineSearchResult& ls = searched[i];
        if (ls.improved && ls.objective < w.bestObjective[i]) {
          w.bestObjective[i] = ls.objective;
          w.bestError[i] = ls.error;
          const auto x = row(run.work, i);
          std::copy(x.begin(), x.end(), w.Row(w.bestPosition, i).begin());
        }
        return true;
      },
      [&] { return run.abort.Requested(); });
  return aborted || !whole;
}

namespace {

// Best of S/2 randomly drawn particles 1..S-1 (never the last one); keeps the
// previous informant when no draw has a personal best.
void DrawInformant(SwarmRun& run) {
  Swarm& w = run.swarm;
  const float range = static_cast<float>(w.S - 1);
  double best = kNoObjective;
  for (int draw = 0; draw < w.S / 2; ++draw) {
    const float r = run.random.Next();
    const int c = static_cast<int>(r * range);  // 0-based: 0..S-2
    if (w.bestObjective[c] < best) {
      best = w.bestObjective[c];
      w.informant = c;
    }
  }
}

}  // namespace

void UpdateVelocities(SwarmRun& run) {
  Swarm& w = run.swarm;
  for (int i = 0; i < w.S; ++i) {
    DrawInformant(run);
    for (int j = 0; j < w.n; ++j) {
      const double x = w.At(w.position, i, j);
      const double v = w.At(w.velocity, i, j);
      const double r1 = run.random.Next();
      const double ta = r1 * 0.5 * (w.At(w.bestPosition, i, j) - x);
      const double r2 = run.random.Next();
      if (w.informant < 0) {
        services::StopWithError(services::kNoFeasiblePointsFound,
                                "no feasible point found; most frequent reason: " +
                                    run.eval.failures.MostFrequent());
      }
      const int inf = w.informant;
      // A particle at least as good as its informant keeps its own velocity
      // as the social term.
      const double tb = w.bestObjective[i] > w.bestObjective[inf]
                            ? r2 * 0.25 * (w.At(w.bestPosition, inf, j) - x)
                            : v;
      const double r3 = run.random.Next();
      const double r4 = run.random.Next();
      const double tc = r3 * 0.00025 * r4;  // absolute, not scaled by the range
      const double td = 0.5 * v;
      w.At(w.velocity, i, j) = ta + tb + tc + td;
    }
  }
}

void UpdatePositions(SwarmRun& run) {
  Swarm& w = run.swarm;
  for (int i = 0; i < w.S; ++i) {
    for (int j = 0; j < w.n; ++j) {
      const double r = run.random.Next();
      double d = r - 0.5;
      if (std::abs(d) >= 0.001) d = 0.0;
      // No clipping: a point outside the bounds is inadmissible and never
      // becomes a personal best.
      w.At(w.position, i, j) += (1.0 + d) * w.At(w.velocity, i, j);
    }
  }
}

void UpdateGlobalBest(Swarm& w) {
  for (int i = 0; i < w.S; ++i) {
    if (w.bestObjective[i] < w.globalBestObjective) {
      w.globalBestObjective = w.bestObjective[i];
      w.globalBestError = w.bestError[i];
      const auto row = w.Row(w.bestPosition, i);
      std::copy(row.begin(), row.end(), w.globalBest.begin());
    }
  }
}

}  // namespace soilcal::optimisation
