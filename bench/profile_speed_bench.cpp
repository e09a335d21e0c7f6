// The thorough search and the profile likelihoods that follow it, side by
// side in one run, on one thread (CPU time) and on all threads (wall time):
//   soilcal_bench --benchmark_filter=BM_ProfileSpeed
// The profiles run twice from the same best point: on the exact step solver
// throughout (as before), and on the fast step solver with the exact one
// only where a profile closes (as a run does now). Counters: CPU seconds of
// the search and of each kind of profiles, their ratios to the search, the
// evaluations of each, the widest relative difference between the two
// kinds' closed profile ends (`end_change`, of the parameter's range), and
// the wall-clock ratio of profiles to search on all threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "bench/example_jobs.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/parallel_batch.hpp"
#include "optimisation/thorough_search.hpp"
#include "optimisation/uncertainty.hpp"
#include "services/clock.hpp"

namespace {

using namespace soilcal;

struct Side {
  double cpu = 0.0, wall = 0.0;
  long evaluations = 0;
  optimisation::UncertaintyResult result;
};

struct Measured {
  Side search, exact, fast;
};

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Side Profiles(optimisation::JobObjective& objective, const input::Job& job,
              const optimisation::SwarmResult& found, bool fast, int threads) {
  optimisation::UncertaintyOptions options;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;
  options.profiles = true;
  options.fastProfiles = fast;
  options.threads = threads;
  Side s;
  const double cpu = services::CpuTime(), wall = Now();
  s.result = optimisation::EstimateUncertainty(objective, found.best, options);
  s.cpu = services::CpuTime() - cpu;
  s.wall = Now() - wall;
  s.evaluations = s.result.profileEvaluations;
  return s;
}

Measured Run(const bench::ExampleJob& example, int threads) {
  const input::Job& job = example.job;
  optimisation::SwarmOptions options = bench::SwarmOptionsOf(job);
  optimisation::ThoroughOptions thorough;
  thorough.threads = threads;
  optimisation::JobObjective objective(job, example.resources);
  bench::Quiet quiet(true);
  Measured m;
  const double cpu = services::CpuTime(), wall = Now();
  const optimisation::SwarmResult found = optimisation::ThoroughSearch(options, objective, thorough);
  m.search.cpu = services::CpuTime() - cpu;
  m.search.wall = Now() - wall;
  m.search.evaluations = found.evaluations;
  m.exact = Profiles(objective, job, found, false, threads);
  m.fast = Profiles(objective, job, found, true, threads);
  return m;
}

// The widest difference between the closed ends of the two kinds, as a share
// of the parameter's range.
double EndChange(const Measured& m, const input::Job& job) {
  double widest = 0.0;
  const auto& a = m.exact.result.parameters;
  const auto& b = m.fast.result.parameters;
  for (std::size_t j = 0; j < std::min(a.size(), b.size()); ++j) {
    if (!a[j].profile || !b[j].profile) continue;
    const double range = job.settings.upper[j] - job.settings.lower[j];
    for (int end = 0; end < 2; ++end) {
      const auto& x = end == 0 ? a[j].profile->low : a[j].profile->high;
      const auto& y = end == 0 ? b[j].profile->low : b[j].profile->high;
      if (x.limit && y.limit) widest = std::max(widest, std::abs(*x.limit - *y.limit) / range);
    }
  }
  return widest;
}

void BM_ProfileSpeed(benchmark::State& state, const char* name) {
  services::SetFlushToZero();
  bench::ExampleJob example;
  bool read = false;
  {
    bench::Quiet quiet;
    read = bench::ReadExample(name, example);
  }
  if (!read) {
    state.SkipWithError("the cap library cannot be loaded");
    return;
  }
  Measured one, all;
  for (auto _ : state) {
    one = Run(example, 1);
    all = Run(example, optimisation::EvaluationThreads());
  }
  state.counters["search_cpu_s"] = one.search.cpu;
  state.counters["profiles_exact_cpu_s"] = one.exact.cpu;
  state.counters["profiles_fast_cpu_s"] = one.fast.cpu;
  state.counters["exact_over_search"] = one.exact.cpu / one.search.cpu;
  state.counters["fast_over_search"] = one.fast.cpu / one.search.cpu;
  state.counters["search_evals"] = static_cast<double>(one.search.evaluations);
  state.counters["exact_evals"] = static_cast<double>(one.exact.evaluations);
  state.counters["fast_evals"] = static_cast<double>(one.fast.evaluations);
  state.counters["end_change"] = EndChange(one, example.job);
  state.counters["fast_over_search_wall_all_threads"] = all.fast.wall / all.search.wall;
  std::printf("%s: search %.3f s CPU (%ld evaluations); profiles exact %.3f s (%ld, %.2f x the "
              "search), fast %.3f s (%ld, %.2f x); on %d threads, wall: search %.3f s, fast "
              "profiles %.3f s (%.2f x); closed ends moved by at most %.2g of the range\n",
              name, one.search.cpu, one.search.evaluations, one.exact.cpu, one.exact.evaluations,
              one.exact.cpu / one.search.cpu, one.fast.cpu, one.fast.evaluations,
              one.fast.cpu / one.search.cpu, optimisation::EvaluationThreads(), all.search.wall,
              all.fast.wall, all.fast.wall / all.search.wall, EndChange(one, example.job));
}

#define PROFILE_SPEED(name, job) \
  BENCHMARK_CAPTURE(BM_ProfileSpeed, name, job)->Iterations(1)->Unit(benchmark::kSecond)

PROFILE_SPEED(measured_mohr_coulomb, "measured_sand/mohr_coulomb");
PROFILE_SPEED(measured_hardening_soil, "measured_sand/hardening_soil");
PROFILE_SPEED(measured_volumetric, "measured_sand/volumetric");

}  // namespace
