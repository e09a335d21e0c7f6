// Cost of the UBC3D sand (model 34) in the lab: a 100-step drained triaxial
// test and the undrained cyclic simple shear test of examples/cyclic_sand
// (cyclic stress ratio 0.25, 4 cycles of 12 steps per half cycle, 97
// steps), each run on one context again and again as the objective does.
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/lab_bench.hpp"
#include "input/cyclic_tests.hpp"

#include "tests/labtest/lab_records.hpp"

namespace {

using namespace soilcal;

// The medium dense sand of the cyclic example (K_G^p 150).
std::unique_ptr<input::Job> UbcJob(int modelNumber) {
  auto job = testing::MakeJob(modelNumber, {.G = 1.0, .nu = 0.2, .sinPhi = 0.0, .c = 0.0,
                                            .sinPsi = 0.0, .porosity = 0.4});
  const std::pair<int, double> slots[] = {
      {31, 1000.0}, {32, 700.0}, {33, 150.0}, {34, 0.5}, {35, 100.0}, {36, 0.5}, {37, 0.4},
      {38, 33.0},   {39, 36.0},  {40, 0.8},   {41, 1.0}, {42, 1.0},  {43, 8.0}};
  for (const auto& [slot, value] : slots) job->material.params[slot] = value;
  return job;
}

void RunTest(benchmark::State& state, std::unique_ptr<input::Job> job, input::LabTest test) {
  bench::LabBench lab(std::move(job), std::move(test));
  bench::RunLabBenchmark(state, lab);
}

// Tolerance 0.0025: the loosest a test file can ask for.
void BM_UbcSandDrainedTriaxial100Steps(benchmark::State& state) {
  RunTest(state, UbcJob(34), testing::TriaxialCompression(34, -0.05, 100, 0.0025));
}
BENCHMARK(BM_UbcSandDrainedTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_UbcSandCyclicSimpleShear4Cycles(benchmark::State& state) {
  input::LabTest test = testing::MakeTest(234, {}, {}, 0.0025, 200);
  input::ApplyDescription(input::CyclicDirectSimpleShearAtRatio(100.0, 0.5, 0.25, 4, 12), 34, test);
  RunTest(state, UbcJob(234), test);
}
BENCHMARK(BM_UbcSandCyclicSimpleShear4Cycles)->Unit(benchmark::kMicrosecond);

}  // namespace
