// The whole example calibration: the drained triaxial Mohr-Coulomb job of
// examples/sand_triaxial (one test, 100 load steps, two curves, Gref and
// sin(phi) free), searched with intensity 1 and 2. Reports objective
// evaluations per second and the wall time of one calibration.
#include <benchmark/benchmark.h>

#include "bench/example_jobs.hpp"

#include <chrono>
#include <cstdio>
#include <string>

#include "input/readers.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "services/clock.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;



void BM_ExampleCalibration(benchmark::State& state) {
  services::SetFlushToZero();
  bench::ExampleJob example;
  bench::ReadExample("sand_triaxial", example);
  const input::Job& job = example.job;
  optimisation::SwarmOptions options = bench::SwarmOptionsOf(job);
  options.intensity = static_cast<int>(state.range(0));

  long evaluations = 0;
  double bestError = 0.0;
  bench::Quiet quiet;
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = services::CpuTime();
  for (auto _ : state) {
    optimisation::JobObjective objective(job, models::ModelResources{});
    const optimisation::SwarmResult r = optimisation::PSwarm(options, objective);
    evaluations += r.evaluations;
    bestError = r.bestError;
    benchmark::DoNotOptimize(r.best.data());
  }
  const double cpu = services::CpuTime() - cpuStart;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double runs = static_cast<double>(state.iterations());
  const double total = static_cast<double>(evaluations);
  // Per wall second (what the user waits for) and per CPU second (what the
  // code costs, independent of other load on the machine).
  state.counters["evaluations_per_s"] = total / wall;
  state.counters["evaluations_per_cpu_s"] = cpu > 0.0 ? total / cpu : 0.0;
  state.counters["evaluations"] = total / runs;
  state.counters["wall_ms"] = wall / runs * 1e3;
  state.counters["error_percent"] = bestError;
}
BENCHMARK(BM_ExampleCalibration)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("intensity")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
