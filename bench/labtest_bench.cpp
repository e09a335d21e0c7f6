// Cost of one simulated laboratory test: the drained triaxial compression
// of a Mohr-Coulomb sand, 100 load steps to 5 % axial strain, run on one
// context again and again as the objective function does.
#include <benchmark/benchmark.h>

#include "tests/labtest/lab_records.hpp"

namespace {

using namespace soilcal;

void BM_TriaxialMohrCoulomb100Steps(benchmark::State& state) {
  auto job = testing::MakeJob(102);
  // Tolerance 0.0025: the loosest a test file can ask for.
  const input::LabTest test = testing::TriaxialCompression(102, -0.05, 100, 0.0025);
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, *job, models::ModelResources{});
  long long iterations = 0;
  for (auto _ : state) {
    labtest::PrepareLabTest(ctx, test);
    const labtest::LabTestRun run = labtest::RunLabTest(ctx);
    if (run.status != 0) state.SkipWithError("test run failed");
    iterations += ctx.totalIterations;
    benchmark::DoNotOptimize(ctx.rec.stress.data());
  }
  const double tests = static_cast<double>(state.iterations());
  // Inverted rates: seconds per test and per load step (printed with SI
  // prefixes, "u" for microseconds).
  state.counters["time_per_test"] =
      benchmark::Counter(tests, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["time_per_step"] =
      benchmark::Counter(tests * 100, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["iterations_per_test"] = static_cast<double>(iterations) / tests;
}
BENCHMARK(BM_TriaxialMohrCoulomb100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
