// Set-up the benchmarks share: one lab test run on one context again and
// again, as the objective function does, with the figures per test.
#pragma once

#include <benchmark/benchmark.h>

#include "tests/labtest/lab_records.hpp"

namespace soilcal::bench {

// Runs `test` of `job` on one context for every benchmark iteration and sets
// the counters time_per_test, iterations_per_test and, when `steps` is given,
// time_per_step (inverted rates, printed with SI prefixes).
inline void RunLabTestRepeatedly(benchmark::State& state, const input::Job& job,
                                 const input::LabTest& test,
                                 const models::ModelResources& resources = {}, int steps = 0) {
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, job, resources);
  long long iterations = 0;
  for (auto _ : state) {
    labtest::PrepareLabTest(ctx, test);
    if (labtest::RunLabTest(ctx).status != 0) state.SkipWithError("test run failed");
    iterations += ctx.totalIterations;
    benchmark::DoNotOptimize(ctx.rec.stress.data());
  }
  const double tests = static_cast<double>(state.iterations());
  const auto kPer = benchmark::Counter::kIsRate | benchmark::Counter::kInvert;
  state.counters["time_per_test"] = benchmark::Counter(tests, kPer);
  if (steps > 0) state.counters["time_per_step"] = benchmark::Counter(tests * steps, kPer);
  state.counters["iterations_per_test"] = static_cast<double>(iterations) / tests;
}

}  // namespace soilcal::bench
