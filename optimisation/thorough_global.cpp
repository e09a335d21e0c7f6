// The global stage of the thorough search: differential evolution,
// "DE/current-to-pbest/1/bin" (Zhang & Sanderson 2009, JADE, with fixed F
// and CR), started from a Latin hypercube. A whole generation of trial
// points is drawn first and evaluated as one batch, and the selection walks
// the population in index order, so the result does not depend on how many
// threads evaluate the batch.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "optimisation/thorough_search.hpp"
#include "optimisation/thorough_state.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {
namespace {

constexpr double kF = 0.6;          // differential weight
constexpr double kCR = 0.9;         // crossover rate
// Adaptive stop: generations the population explores at least, and the
// size of the box (unit coordinates) in which its better half has found
// the basin that the local stage then refines.
constexpr int kMinGenerations = 10;
constexpr double kBasinBox = 0.05;

struct Population {
  int size = 0;
  int n = 0;
  std::vector<double> u;     // size x n, unit coordinates
  std::vector<double> rank;  // objective, or kUnusable
  std::span<double> Row(int i) { return std::span<double>(u).subspan(static_cast<std::size_t>(i) * n, n); }
};

int PopulationSize(int n, long evaluations) {
  const int wanted = std::clamp(8 * n, 12, 32);
  const long affordable = std::max(4L, evaluations / 8);
  return static_cast<int>(std::min<long>(wanted, affordable));
}

// One point per stratum in every coordinate, strata paired at random.
void LatinHypercube(SearchRandom& random, int size, int n, std::vector<double>& u) {
  std::vector<int> strata(static_cast<std::size_t>(size));
  for (int j = 0; j < n; ++j) {
    std::iota(strata.begin(), strata.end(), 0);
    for (int i = size - 1; i > 0; --i) std::swap(strata[i], strata[random.Below(i + 1)]);
    for (int i = 0; i < size; ++i) {
      u[static_cast<std::size_t>(i) * n + j] = (strata[i] + random.Next()) / size;
    }
  }
}

// Evaluates the rows of `u` in parameter space; offers each to the best in
// row order. Returns false after an abort.
bool EvaluateRows(ThoroughRun& run, std::span<const double> u, int count, std::vector<double>& rank) {
  const int n = run.n;
  std::vector<double> x(u.size());
  for (int i = 0; i < count; ++i) {
    const auto off = static_cast<std::size_t>(i) * n;
    run.ToParameters(u.subspan(off, n), std::span<double>(x).subspan(off, n));
  }
  std::vector<Evaluation> out(static_cast<std::size_t>(count));
  const int done = run.eval.Evaluate(x, n, out, [&] { return run.abort.Requested(); });
  rank.assign(static_cast<std::size_t>(count), kUnusable);
  for (int i = 0; i < done; ++i) {
    rank[i] = Rank(out[i]);
    run.Offer(u.subspan(static_cast<std::size_t>(i) * n, n), out[i]);
  }
  if (done < count || run.abort.Requested()) run.aborted = true;
  return !run.aborted;
}

// Latin hypercubes until one holds a usable point.
bool Initialise(ThoroughRun& run, SearchRandom& random, Population& pop, long long initLimit) {
  long long drawn = 0;
  for (;;) {
    LatinHypercube(random, pop.size, pop.n, pop.u);
    if (!EvaluateRows(run, pop.u, pop.size, pop.rank)) return false;
    if (std::any_of(pop.rank.begin(), pop.rank.end(), [](double r) { return r < kUnusable; })) return true;
    drawn += pop.size;
    if (drawn >= initLimit) services::StopWithError(services::kCouldNotInitializePoints);
  }
}

// Population indices, best first; ties keep index order.
std::vector<int> Order(const Population& pop) {
  std::vector<int> order(static_cast<std::size_t>(pop.size));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return pop.rank[a] < pop.rank[b]; });
  return order;
}

// Another index than those in `avoid`.
int DrawOther(SearchRandom& random, int size, std::initializer_list<int> avoid) {
  for (;;) {
    const int k = random.Below(size);
    if (std::find(avoid.begin(), avoid.end(), k) == avoid.end()) return k;
  }
}

void MakeTrials(SearchRandom& random, Population& pop, std::vector<double>& trials) {
  const int n = pop.n;
  const std::vector<int> order = Order(pop);
  const int top = std::max(2, pop.size / 5);
  for (int i = 0; i < pop.size; ++i) {
    const int best = order[random.Below(top)];
    const int r1 = DrawOther(random, pop.size, {i});
    const int r2 = DrawOther(random, pop.size, {i, r1});
    const int forced = random.Below(std::max(1, n));
    const auto xi = pop.Row(i);
    const auto xb = pop.Row(best);
    const auto x1 = pop.Row(r1);
    const auto x2 = pop.Row(r2);
    for (int j = 0; j < n; ++j) {
      double v = xi[j];
      if (random.Next() < kCR || j == forced) v = xi[j] + kF * (xb[j] - xi[j]) + kF * (x1[j] - x2[j]);
      // Outside the box: half way between the parent and the bound it crossed.
      if (v < 0.0) v = 0.5 * xi[j];
      if (v > 1.0) v = 0.5 * (xi[j] + 1.0);
      trials[static_cast<std::size_t>(i) * n + j] = v;
    }
  }
}

// Half the largest coordinate spread of the best fifth of the population.
double Spread(const Population& pop) {
  const std::vector<int> order = Order(pop);
  const int top = std::max(2, pop.size / 5);
  double widest = 0.0;
  for (int j = 0; j < pop.n; ++j) {
    double lo = 1.0, hi = 0.0;
    for (int k = 0; k < top; ++k) {
      const double v = pop.u[static_cast<std::size_t>(order[k]) * pop.n + j];
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    widest = std::max(widest, hi - lo);
  }
  return 0.5 * widest;
}

// Best and mean objective of the usable members.
struct Level {
  double best = kUnusable;
  double mean = kUnusable;
};

Level LevelOf(const Population& pop) {
  Level level;
  double sum = 0.0;
  int usable = 0;
  for (double r : pop.rank) {
    if (r >= kUnusable) continue;
    level.best = std::min(level.best, r);
    sum += r;
    ++usable;
  }
  if (usable > 0) level.mean = sum / usable;
  return level;
}

// The larger relative change of the best and of the mean.
double Change(const Level& before, const Level& now) {
  auto relative = [](double a, double b) {
    if (a >= kUnusable || b >= kUnusable) return a == b ? 0.0 : 1.0;
    return std::abs(a - b) / (std::abs(a) + 1e-300);
  };
  return std::max(relative(before.best, now.best), relative(before.mean, now.mean));
}

// The population has found its basin: the better half of it agrees in
// objective to the tolerance (relative to the best, or 1e-15 absolute, the
// round-off of an exact fit), or lies within kBasinBox of every range.
bool PopulationConverged(const Population& pop, double tolerance) {
  const std::vector<int> order = Order(pop);
  const int half = std::max(2, pop.size / 2);
  const double best = pop.rank[order[0]];
  const double last = pop.rank[order[half - 1]];
  if (last >= kUnusable) return false;
  if (last - best <= tolerance * std::abs(best) + 1e-15) return true;
  for (int j = 0; j < pop.n; ++j) {
    double lo = 1.0, hi = 0.0;
    for (int k = 0; k < half; ++k) {
      const double v = pop.u[static_cast<std::size_t>(order[k]) * pop.n + j];
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    if (hi - lo > kBasinBox) return false;
  }
  return true;
}

}  // namespace

GlobalOutcome GlobalStage(ThoroughRun& run, long evaluations, long long initLimit,
                          std::uint64_t seed) {
  Population pop;
  pop.n = run.n;
  pop.size = PopulationSize(run.n, evaluations);
  pop.u.assign(static_cast<std::size_t>(pop.size) * pop.n, 0.0);
  SearchRandom random(seed);
  const long start = run.eval.evaluations();
  if (!Initialise(run, random, pop, initLimit)) return {};
  run.Tell(SearchPhase::kIterations, -1.0, run.options.tolerance);

  // Stalled: neither the population's best nor its mean improved by the
  // tolerance over `window` generations. The mean keeps the search going
  // while the population still moves towards a better region its best
  // member has found.
  const int window = 8 + 2 * run.n;
  const double tolerance = std::max(run.options.tolerance, 1e-9);
  std::vector<Level> history{LevelOf(pop)};
  std::vector<double> trials(pop.u.size());
  std::vector<double> trialRank;
  while (run.eval.evaluations() - start + pop.size <= evaluations) {
    MakeTrials(random, pop, trials);
    const bool ok = EvaluateRows(run, trials, pop.size, trialRank);
    for (int i = 0; i < pop.size; ++i) {
      if (trialRank[i] <= pop.rank[i]) {
        pop.rank[i] = trialRank[i];
        std::copy_n(trials.begin() + static_cast<std::ptrdiff_t>(i) * pop.n, pop.n, pop.Row(i).begin());
      }
    }
    ++run.iteration;
    history.push_back(LevelOf(pop));
    const std::size_t back = std::min(history.size() - 1, static_cast<std::size_t>(window));
    const double change = Change(history[history.size() - 1 - back], history.back());
    PrintLabelledValue("ERROR", run.bestError);
    run.Tell(SearchPhase::kIterations, change, tolerance);
    if (!ok) return {};
    if (static_cast<int>(history.size()) > window && change < tolerance) break;
    const int generations = static_cast<int>(history.size()) - 1;
    if (run.adaptive && generations >= kMinGenerations && PopulationConverged(pop, tolerance)) break;
    if (Spread(pop) < 1e-6) break;
  }
  const int best = Order(pop).front();
  const auto row = pop.Row(best);
  return {std::vector<double>(row.begin(), row.end()), pop.rank[best], Spread(pop)};
}

}  // namespace soilcal::optimisation
