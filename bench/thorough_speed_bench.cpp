// The thorough search as it was (prescribed step solver, cycles until the
// budget runs short) against the search now (fast step solver, adaptive
// stop, best point evaluated and refined exactly), on one thread, side by
// side in one run:
//   soilcal_bench --benchmark_filter=BM_ThoroughSpeed
// Counters: CPU seconds and evaluations of each, their ratio, the reported
// objective and mean relative error of each, and objective_change, the
// relative change of the reported objective (negative: lower now). For the
// jobs whose curves the program itself made, the objective at the bottom is
// round-off or the precision of the curve files (1e-12 and below), where a
// relative change says nothing: `same_fit` is 1 when the objective is no
// more than 0.1 % above before, or less than 1e-10 above it (a mean
// relative error below about 0.001 %).
#include <benchmark/benchmark.h>

#include "bench/example_jobs.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/clock.hpp"

namespace {

using namespace soilcal;

struct Measured {
  double cpu = 0.0;
  long evaluations = 0;
  double objective = 0.0;
  double error = 0.0;
};

Measured Search(const bench::ExampleJob& example, bool now) {
  const input::Job& job = example.job;
  optimisation::SwarmOptions options = bench::SwarmOptionsOf(job);
  optimisation::ThoroughOptions thorough;
  thorough.threads = 1;
  thorough.fastSearch = now;
  thorough.stopping =
      now ? optimisation::ThoroughStopping::kAdaptive : optimisation::ThoroughStopping::kBudget;
  optimisation::JobObjective objective(job, example.resources);
  bench::Quiet quiet(true);
  const double start = services::CpuTime();
  const optimisation::SwarmResult r = optimisation::ThoroughSearch(options, objective, thorough);
  return {services::CpuTime() - start, r.evaluations, r.bestObjective, r.bestError};
}

void BM_ThoroughSpeed(benchmark::State& state, const char* job) {
  services::SetFlushToZero();
  bench::ExampleJob example;
  bool read = false;
  {
    bench::Quiet quiet;  // the "Header line" echo of the test files
    read = bench::ReadExample(job, example);
  }
  if (!read) {
    state.SkipWithError("the cap library cannot be loaded");
    return;
  }
  Measured before, after;
  for (auto _ : state) {
    before = Search(example, false);
    after = Search(example, true);
  }
  state.counters["cpu_before_s"] = before.cpu;
  state.counters["cpu_after_s"] = after.cpu;
  state.counters["speed_up"] = after.cpu > 0.0 ? before.cpu / after.cpu : 0.0;
  state.counters["evals_before"] = static_cast<double>(before.evaluations);
  state.counters["evals_after"] = static_cast<double>(after.evaluations);
  state.counters["objective_before"] = before.objective;
  state.counters["objective_after"] = after.objective;
  state.counters["objective_change"] = after.objective / before.objective - 1.0;
  state.counters["same_fit"] = after.objective <= before.objective * 1.001 ||
                                       after.objective - before.objective < 1e-10
                                   ? 1.0
                                   : 0.0;
  state.counters["error_before"] = before.error;
  state.counters["error_after"] = after.error;
}

#define THOROUGH_SPEED(name, job) \
  BENCHMARK_CAPTURE(BM_ThoroughSpeed, name, job)->Iterations(1)->Unit(benchmark::kSecond)

THOROUGH_SPEED(measured_mohr_coulomb, "measured_sand/mohr_coulomb");
THOROUGH_SPEED(measured_hardening_soil, "measured_sand/hardening_soil");
THOROUGH_SPEED(measured_volumetric, "measured_sand/volumetric");
THOROUGH_SPEED(sand_triaxial, "sand_triaxial");
THOROUGH_SPEED(hardening_soil, "hardening_soil");
THOROUGH_SPEED(soft_clay, "soft_clay");
THOROUGH_SPEED(udsm_job, "udsm_job");
THOROUGH_SPEED(ngi_adp, "ngi_adp");
THOROUGH_SPEED(hoek_brown_rock, "hoek_brown_rock");

// One side alone, for instruction counts under callgrind:
//   valgrind --tool=callgrind ./build/soilcal_bench
//       --benchmark_filter='BM_ThoroughSide/measured_mohr_coulomb_before'
void BM_ThoroughSide(benchmark::State& state, const char* job, bool now) {
  services::SetFlushToZero();
  bench::ExampleJob example;
  {
    bench::Quiet quiet;
    bench::ReadExample(job, example);
  }
  Measured m;
  for (auto _ : state) m = Search(example, now);
  state.counters["evaluations"] = static_cast<double>(m.evaluations);
  state.counters["objective"] = m.objective;
}
BENCHMARK_CAPTURE(BM_ThoroughSide, measured_mohr_coulomb_before, "measured_sand/mohr_coulomb", false)
    ->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThoroughSide, measured_mohr_coulomb_after, "measured_sand/mohr_coulomb", true)
    ->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThoroughSide, sand_triaxial_before, "sand_triaxial", false)
    ->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThoroughSide, sand_triaxial_after, "sand_triaxial", true)
    ->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
