// The fast step solver against the prescribed iteration on the benchmark
// test of every model (100 load steps, tolerance 0.0025, the loosest a test
// file can ask for), side by side in one run:
//   soilcal_bench --benchmark_filter=BM_StepSolver
// Counters: equilibrium iterations per step and per plastic step of each
// solver (a step whose final state is plastic; the creep model reports no
// plastic state, its steps all creep), steps the fast solver handed back to the
// prescribed iteration, the largest relative difference of the recorded
// stresses, and the CPU time per test of each and their ratio. The relative
// difference of a stress component is taken against the component, but at
// least 1 % of the largest stress of the test (shear components are 0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "bench/lab_bench.hpp"
#include "services/clock.hpp"
#include "tests/labtest/lab_records.hpp"

namespace {

using namespace soilcal;

struct Case {
  std::function<std::unique_ptr<input::Job>()> job;
  std::function<input::LabTest()> test;
};

Case CaseOf(int modelNumber) {
  switch (modelNumber % 100) {
    case 6: case 19:
      return {[=] { return bench::HardeningSoilJob(modelNumber); },
              [=] { return bench::Triaxial(modelNumber, -0.15); }};
    case 4: case 5:
      return {[=] { return bench::SoftClayJob(modelNumber); },
              [=] { return bench::Triaxial(modelNumber, -0.15); }};
    case 8:
      return {[=] { return bench::SoftClayJob(modelNumber); },
              [=] { return bench::Oedometer(modelNumber); }};
    case 12:
      return {bench::NgiAdpClayJob, [] {
                return testing::TriaxialCompression(bench::kUndrainedNgiAdp, -0.06, 100, 0.0025);
              }};
    case 15:
      return {bench::HoekBrownRockJob, [] {
                const testing::Phase shear{100, {0, -0.01, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
                return testing::MakeTest(15, {-5000, -5000, -5000, 0, 0, 0}, {shear}, 0.0025);
              }};
    default:
      return {[=] { return bench::SandJob(modelNumber); },
              [=] { return bench::Triaxial(modelNumber, -0.05); }};
  }
}

double LargestRelativeDifference(const labtest::Recording& a, const labtest::Recording& b) {
  double largest = 0.0;
  for (int k = 0; k < a.nRecorded; ++k) {
    for (double v : a.stress[static_cast<std::size_t>(k)]) largest = std::max(largest, std::abs(v));
  }
  const double floor = 0.01 * largest;
  double worst = 0.0;
  for (int k = 0; k < std::min(a.nRecorded, b.nRecorded); ++k) {
    const Vec6& sa = a.stress[static_cast<std::size_t>(k)];
    const Vec6& sb = b.stress[static_cast<std::size_t>(k)];
    for (int i = 0; i < 6; ++i) {
      worst = std::max(worst, std::abs(sa[i] - sb[i]) / std::max(std::abs(sa[i]), floor));
    }
  }
  return worst;
}

void BM_StepSolver(benchmark::State& state, int modelNumber) {
  const Case c = CaseOf(modelNumber);
  bench::LabBench prescribed(c.job(), c.test());
  bench::LabBench fast(c.job(), c.test());
  fast.SetStepSolver(labtest::StepSolver::kFast);
  if (!prescribed.RunOnce() || !fast.RunOnce()) {
    state.SkipWithError("test run failed");
    return;
  }
  const double difference =
      LargestRelativeDifference(prescribed.context().rec, fast.context().rec);
  const labtest::StepSolverStats before = prescribed.context().solverStats;
  const labtest::StepSolverStats after = fast.context().solverStats;

  double cpuPrescribed = 0.0, cpuFast = 0.0;
  for (auto _ : state) {
    // Alternating, so both see the same load of the machine.
    double t = services::CpuTime();
    prescribed.RunOnce();
    cpuPrescribed += services::CpuTime() - t;
    t = services::CpuTime();
    fast.RunOnce();
    cpuFast += services::CpuTime() - t;
  }
  const double runs = static_cast<double>(state.iterations());
  auto perPlastic = [](const labtest::StepSolverStats& s) {
    return s.plasticSteps > 0 ? static_cast<double>(s.plasticIterations) / s.plasticSteps : 0.0;
  };
  auto perStep = [](const labtest::StepSolverStats& s) {
    return s.steps > 0 ? static_cast<double>(s.iterations) / s.steps : 0.0;
  };
  state.counters["iter_per_step_prescribed"] = perStep(before);
  state.counters["iter_per_step_fast"] = perStep(after);
  state.counters["plastic_steps"] = static_cast<double>(before.plasticSteps);
  state.counters["iter_per_plastic_prescribed"] = perPlastic(before);
  state.counters["iter_per_plastic_fast"] = perPlastic(after);
  state.counters["fallbacks"] = static_cast<double>(after.fallbacks);
  state.counters["max_rel_stress_diff"] = difference;
  state.counters["us_prescribed"] = cpuPrescribed / runs * 1e6;
  state.counters["us_fast"] = cpuFast / runs * 1e6;
  state.counters["speed_up"] = cpuFast > 0.0 ? cpuPrescribed / cpuFast : 0.0;
}

BENCHMARK_CAPTURE(BM_StepSolver, mohr_coulomb, 102)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, hardening_soil, 106)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, hs_small_strain, 119)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, soft_soil, 104)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, soft_soil_creep, 108)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, cam_clay, 105)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, ngi_adp, 212)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, hoek_brown, 15)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StepSolver, user_model, 121)->Unit(benchmark::kMicrosecond);

}  // namespace
