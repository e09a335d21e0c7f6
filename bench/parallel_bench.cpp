// The example calibrations searched on one thread and on all threads: the
// objective evaluations per second of each and the speed-up. Every search is
// the whole search of the shipped job (starting points, iterations,
// sensitivities) with its own search intensity; the evaluation count is the
// same on any number of threads, so the ratio of the rates is the speed-up.
#include <benchmark/benchmark.h>

#include "bench/example_jobs.hpp"
#include <omp.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "input/readers.hpp"
#include "models/family.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/parallel_batch.hpp"
#include "optimisation/pswarm.hpp"
#include "services/clock.hpp"
#include "services/library.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;

const char* const kJobs[] = {"sand_triaxial", "soft_clay", "hardening_soil", "udsm_job"};




struct Timed {
  long evaluations = 0;
  double wall = 0.0;  // s
  double cpu = 0.0;   // s of all threads
};

Timed SearchOn(int threads, const bench::ExampleJob& example) {
  const input::Job& job = example.job;
  optimisation::SwarmOptions options = bench::SwarmOptionsOf(job);
  omp_set_num_threads(threads);
  Timed t;
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = services::CpuTime();
  optimisation::JobObjective objective(job, example.resources);
  const optimisation::SwarmResult r = optimisation::PSwarm(options, objective);
  t.cpu = services::CpuTime() - cpuStart;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  t.evaluations = r.evaluations;
  benchmark::DoNotOptimize(r.best.data());
  return t;
}

void BM_ExampleJobThreads(benchmark::State& state) {
  services::SetFlushToZero();
  const int all = optimisation::EvaluationThreads();
  bench::ExampleJob example;
  state.SetLabel(kJobs[state.range(0)]);
  Timed one, many;
  {
    bench::Quiet quiet;  // also the reader's header lines
    bench::ReadExample(kJobs[state.range(0)], example);
    for (auto _ : state) {
      one = SearchOn(1, example);
      many = SearchOn(all, example);
    }
  }
  omp_set_num_threads(all);
  const double rateOne = static_cast<double>(one.evaluations) / one.wall;
  const double rateAll = static_cast<double>(many.evaluations) / many.wall;
  state.counters["evaluations"] = static_cast<double>(one.evaluations);
  state.counters["threads"] = all;
  state.counters["eval_per_s_1_thread"] = rateOne;
  // Per CPU second on one thread: what an evaluation costs, whatever else
  // runs on the machine.
  state.counters["eval_per_cpu_s_1_thread"] = static_cast<double>(one.evaluations) / one.cpu;
  state.counters["eval_per_s_all_threads"] = rateAll;
  state.counters["speed_up"] = rateAll / rateOne;
  // CPU seconds per wall second: how many cores the search kept busy.
  state.counters["busy_cores_all"] = many.cpu / many.wall;
}
BENCHMARK(BM_ExampleJobThreads)
    ->DenseRange(0, 3)
    ->ArgName("job")
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
