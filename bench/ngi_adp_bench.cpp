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

// Soft clay in kN and m: s_u^A 50, s_u^P 30, s_u^DSS 35, G_ur/s_u^A 500,
// peak shear strains 4 %, 8 %, 6 %; an undrained set (code 212), whose pore
// water from nu_u keeps the volume.
constexpr int kUndrainedNgiAdp = 212;

std::unique_ptr<input::Job> ClayJob() {
  testing::SoilParams s;
  s.nu = 0.2;
  s.sinPhi = 0.0;
  s.c = 50.0;
  s.sinPsi = 0.0;
  s.porosity = 0.5;
  s.nuU = 0.495;
  auto job = testing::MakeJob(kUndrainedNgiAdp, s);
  auto& p = job->material.params;
  p[31] = 500.0;
  p[33] = 30.0;
  p[34] = 35.0;
  p[38] = 4.0;
  p[39] = 8.0;
  p[40] = 6.0;
  p[44] = 0.95;
  return job;
}

void RunTest(benchmark::State& state, input::LabTest test) {
  bench::LabBench lab(ClayJob(), std::move(test));
  bench::RunLabBenchmark(state, lab);
}

// Tolerance 0.0025: the loosest a test file can ask for.
void BM_NgiAdpTriaxial100Steps(benchmark::State& state) {
  RunTest(state, testing::TriaxialCompression(kUndrainedNgiAdp, -0.06, 100, 0.0025));
}
BENCHMARK(BM_NgiAdpTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_NgiAdpSimpleShear100Steps(benchmark::State& state) {
  const testing::Phase shear{100, {0, 0, 0, 0.1, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  RunTest(state, testing::MakeTest(kUndrainedNgiAdp, {-100, -100, -100, 0, 0, 0}, {shear}, 0.0025));
}
BENCHMARK(BM_NgiAdpSimpleShear100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
