// Cost of one simulated laboratory test of each soft-soil family model, 100
// load steps each, run on one context again and again as the objective
// function does: drained triaxial compression of modified Cam-Clay (model
// 5) and of the soft-soil model (model 4), and a 100-step oedometer of the
// soft-soil creep model (model 8) over 100 days.
#include "bench_support.hpp"

namespace {

using namespace soilcal;

// Soft clay in kN and m: lambda* 0.1, kappa* 0.02, K0nc 0.6, mu* 0.004.
std::unique_ptr<input::Job> SoftClayJob(int model) {
  testing::SoilParams s;
  s.nu = 0.15;
  s.sinPhi = 0.5;
  s.c = 1.0;
  s.sinPsi = 0.0;
  s.porosity = 0.5;
  auto job = testing::MakeJob(model, s);
  auto& p = job->material.params;
  p[31] = 1.2;
  p[37] = 0.6;
  p[38] = 0.02;
  p[39] = 0.1;
  p[40] = 0.004;
  return job;
}

void RunTest(benchmark::State& state, int model, const input::LabTest& test) {
  bench::RunLabTestRepeatedly(state, *SoftClayJob(model), test);
}

// Tolerance 0.0025: the loosest a test file can ask for.
void BM_CamClayTriaxial100Steps(benchmark::State& state) {
  RunTest(state, 105, testing::TriaxialCompression(105, -0.15, 100, 0.0025));
}
BENCHMARK(BM_CamClayTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_SoftSoilTriaxial100Steps(benchmark::State& state) {
  RunTest(state, 104, testing::TriaxialCompression(104, -0.15, 100, 0.0025));
}
BENCHMARK(BM_SoftSoilTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_CreepOedometer100Steps(benchmark::State& state) {
  const testing::Phase load{100, {}, {0, -300.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 100.0};
  RunTest(state, 108, testing::MakeTest(108, {-60, -100, -60, 0, 0, 0}, {load}, 0.0025));
}
BENCHMARK(BM_CreepOedometer100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
