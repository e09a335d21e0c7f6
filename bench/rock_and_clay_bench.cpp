// Cost of 100 load steps of the Hoek-Brown and Sekiguchi-Ohta models: a
// simulated drained triaxial test of a Hoek-Brown rock mass (model 15), run
// on one context again and again as the objective function does, and, at the
// stress point through MatSig (the lab-test driver does not take models 31
// and 32), an isochoric triaxial compression of a K0-consolidated
// Sekiguchi-Ohta clay (model 31) and an oedometer creep of its viscid form
// (model 32).
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/lab_bench.hpp"

#include "tests/labtest/lab_records.hpp"
#include "tests/models/sekiguchi_ohta_point.hpp"

namespace {

using namespace soilcal;

void RunTest(benchmark::State& state, std::unique_ptr<input::Job> job, input::LabTest test) {
  bench::LabBench lab(std::move(job), std::move(test));
  bench::RunLabBenchmark(state, lab);
}

// Tolerance 0.0025: the loosest a test file can ask for.
void BM_HoekBrownTriaxial100Steps(benchmark::State& state) {
  const testing::Phase shear{100, {0, -0.01, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  RunTest(state, bench::HoekBrownRockJob(),
          testing::MakeTest(15, {-5000, -5000, -5000, 0, 0, 0}, {shear}, 0.0025));
}
BENCHMARK(BM_HoekBrownTriaxial100Steps)->Unit(benchmark::kMicrosecond);

constexpr Vec6 kK0State{-60.0, -100.0, -60.0, 0, 0, 0};

void BM_SekiguchiOhtaUndrainedTriaxial100Steps(benchmark::State& state) {
  const models::MaterialSet set = models::testing::SoftClaySet(31);
  for (auto _ : state) {
    models::testing::SoPoint pt(set, kK0State);
    for (int k = 0; k < 100; ++k) pt.Step({0.00075, -0.0015, 0.00075, 0, 0, 0});
    benchmark::DoNotOptimize(pt.sig.data());
  }
}
BENCHMARK(BM_SekiguchiOhtaUndrainedTriaxial100Steps)->Unit(benchmark::kMicrosecond);

// Each held step searches its vertical strain with about 50 MatSig calls.
void BM_SekiguchiOhtaViscidCreep100Steps(benchmark::State& state) {
  const models::MaterialSet set = models::testing::SoftClaySet(32);
  for (auto _ : state) {
    models::testing::SoPoint pt(set, kK0State);
    for (int k = 0; k < 100; ++k) pt.OedometricHold(1.0);
    benchmark::DoNotOptimize(pt.sig.data());
  }
}
BENCHMARK(BM_SekiguchiOhtaViscidCreep100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
