// Cost of one simulated laboratory test of 100 load steps for each built-in
// model, run on one context again and again as the objective function does:
// drained triaxial compression from 100 kPa for Mohr-Coulomb (model 2, to
// 5 % axial strain), Hardening Soil (6) and with small-strain stiffness (19),
// the soft-soil model (4) and modified Cam-Clay (5) (to 15 %), the example
// user library's Mohr-Coulomb (21, to 5 %), and an oedometer of the
// soft-soil creep model (8) over 100 days.
//   soilcal_bench --benchmark_filter=BM_ModelTest
// prints them together; time_per_test is the figure.
#include "bench/lab_bench.hpp"

namespace {

using namespace soilcal;
using bench::LabBench;

void BM_ModelTest(benchmark::State& state, int modelNumber) {
  const int model = modelNumber % 100;
  std::unique_ptr<input::Job> job;
  input::LabTest test;
  switch (model) {
    case 6: case 19:
      job = bench::HardeningSoilJob(modelNumber);
      test = bench::Triaxial(modelNumber, -0.15);
      break;
    case 4: case 5:
      job = bench::SoftClayJob(modelNumber);
      test = bench::Triaxial(modelNumber, -0.15);
      break;
    case 8:
      job = bench::SoftClayJob(modelNumber);
      test = bench::Oedometer(modelNumber);
      break;
    default:
      job = bench::SandJob(modelNumber);
      test = bench::Triaxial(modelNumber, -0.05);
      break;
  }
  LabBench b(std::move(job), std::move(test));
  bench::RunLabBenchmark(state, b);
}

BENCHMARK_CAPTURE(BM_ModelTest, mohr_coulomb, 102)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, hardening_soil, 106)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, hs_small_strain, 119)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, soft_soil, 104)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, soft_soil_creep, 108)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, cam_clay, 105)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ModelTest, user_model, 121)->Unit(benchmark::kMicrosecond);

}  // namespace
