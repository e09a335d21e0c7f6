// Set-up of a search: sizes, the abort watch, the arrays, the starting
// points and velocities.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include "optimisation/swarm_progress.hpp"
#include "optimisation/swarm_state.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "services/notices.hpp"
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

Swarm::Swarm(int particles, int parameters) : S(particles), n(parameters) {
  const auto cells = static_cast<std::size_t>(S) * static_cast<std::size_t>(n);
  position.assign(cells, 0.0);
  velocity.assign(cells, 0.0);
  bestPosition.assign(cells, 0.0);
  bestObjective.assign(static_cast<std::size_t>(S), 0.0);
  bestError.assign(static_cast<std::size_t>(S), -1.0);
  globalBest.assign(static_cast<std::size_t>(n), 0.0);
}

namespace {

// Says once on standard error, with the count, that a search has found no
// usable starting point for a while; the search goes on as it would.
class QuietStartNotice {
 public:
  QuietStartNotice(double seconds, long long limit)
      : seconds_(seconds), limit_(limit), start_(std::chrono::steady_clock::now()) {}
  void Check(long long tried, const FailureTally& failures) {
    if (told_) return;
    const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start_;
    if (waited.count() < seconds_) return;
    told_ = true;
    services::Notice("no usable starting point yet after " + services::FormatReal(seconds_) +
                     " s: all " + std::to_string(tried) + " points drawn so far failed; most "
                     "frequent reason: " + failures.MostFrequent() +
                     ". The search goes on drawing, up to " + std::to_string(limit_ + 1) +
                     " points; create the file AbortCalc in the job folder or press Ctrl-C to "
                     "stop it");
  }

 private:
  double seconds_;
  long long limit_;
  std::chrono::steady_clock::time_point start_;
  bool told_ = false;
};

// Candidate starting points drawn ahead, one row of n each, with the state
// of the generator after each.
struct Candidates {
  std::vector<double> points;
  std::vector<UniformRandom> after;
  std::vector<Evaluation> evaluated;
};

void DrawCandidates(SwarmRun& run, int count, Candidates& c) {
  const int n = run.swarm.n;
  const auto& lo = run.options.lower;
  const auto& up = run.options.upper;
  c.points.resize(static_cast<std::size_t>(count) * n);
  c.after.assign(static_cast<std::size_t>(count), run.random);
  c.evaluated.assign(static_cast<std::size_t>(count), Evaluation{});
  for (int k = 0; k < count; ++k) {
    for (int j = 0; j < n; ++j) {
      const double r = run.random.Next();
      c.points[static_cast<std::size_t>(k) * n + j] = lo[j] + r * (up[j] - lo[j]);
    }
    c.after[k] = run.random;
  }
}

}  // namespace

bool InitialPositions(SwarmRun& run) {
  Swarm& w = run.swarm;
  long long attempts = 0;
  int i = 0;
  bool aborted = false;
  Candidates c;
  QuietStartNotice quiet(run.options.quietStartSeconds, run.sizes.initLimit);
  while (i < w.S) {
    // At least the points still missing, and at least one per thread; the
    // draws beyond the last candidate taken are given back below.
    const int count = std::max(w.S - i, run.pool.threads());
    DrawCandidates(run, count, c);
    auto candidate = [&](int k) {
      return std::span<const double>(c.points).subspan(static_cast<std::size_t>(k) * w.n, w.n);
    };
    int taken = 0;
    const bool whole = RunBatch(
        run.pool, count,
        [&](int k, Problem& problem) { c.evaluated[k] = problem.Evaluate(candidate(k)); },
        [&](int k) {
          taken = k + 1;
          const auto x = candidate(k);
          std::copy(x.begin(), x.end(), w.Row(w.position, i).begin());
          ++run.eval.evaluations;
          if (run.abort.Requested()) {
            aborted = true;
            return false;
          }
          const Evaluation& e = c.evaluated[k];
          if (e.status != 0) run.eval.failures.Add(e.reason);
          if (e.status == 0) {
            ++i;
            ReportSwarm(run, SearchPhase::kStartingPoints, 0);
          } else if (e.status < 1 || e.status > 3) {
            services::StopWithError(services::kInternalErrorPswarm);
          }
          if (i == 0) quiet.Check(attempts + 1, run.eval.failures);
          // A failed or inadmissible point is drawn again, within a budget.
          if (++attempts > run.sizes.initLimit) {
            services::StopWithError(services::kCouldNotInitializePoints,
                                    "no starting point could be simulated; most frequent reason: " +
                                        run.eval.failures.MostFrequent());
          }
          return i < w.S;
        },
        [&] { return run.abort.Requested(); });
    if (taken > 0) run.random = c.after[taken - 1];
    if (aborted || !whole) return true;
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
