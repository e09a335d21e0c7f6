// Cost of one simulated laboratory test of the NGI-ADP model (model 12),
// 100 load steps each, run on one context again and again as the objective
// function does: undrained triaxial compression to 6 % axial strain and
// direct simple shear to 10 %, both through the peak.
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/lab_bench.hpp"

#include "tests/labtest/lab_records.hpp"

namespace {

using namespace soilcal;

void RunTest(benchmark::State& state, input::LabTest test) {
  bench::LabBench lab(bench::NgiAdpClayJob(), std::move(test));
  bench::RunLabBenchmark(state, lab);
}

// Tolerance 0.0025: the loosest a test file can ask for.
void BM_NgiAdpTriaxial100Steps(benchmark::State& state) {
  RunTest(state, testing::TriaxialCompression(bench::kUndrainedNgiAdp, -0.06, 100, 0.0025));
}
BENCHMARK(BM_NgiAdpTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_NgiAdpSimpleShear100Steps(benchmark::State& state) {
  const testing::Phase shear{100, {0, 0, 0, 0.1, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  RunTest(state, testing::MakeTest(bench::kUndrainedNgiAdp, {-100, -100, -100, 0, 0, 0}, {shear}, 0.0025));
}
BENCHMARK(BM_NgiAdpSimpleShear100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
