// Cost of the user-model call path: the drained triaxial compression of the
// Mohr-Coulomb sand (100 load steps to 5 % axial strain) with the example
// library's model 21 against the built-in model 2 with the same parameters.
// Each stress call of the user model also asks the library for its
// stiffness, so the interesting figure is the ratio of the two times.
#include <chrono>

#include "bench/lab_bench.hpp"

namespace {

using namespace soilcal;
using bench::LabBench;

LabBench SandTriaxial(int modelNumber) {
  return LabBench(bench::SandJob(modelNumber), bench::Triaxial(modelNumber, -0.05));
}

// Mean wall time of `n` runs in microseconds.
double MeanMicroseconds(LabBench& b, int n) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) b.RunOnce();
  const std::chrono::duration<double, std::micro> d = std::chrono::steady_clock::now() - start;
  return d.count() / n;
}

void BM_TriaxialUserModel21(benchmark::State& state) {
  LabBench user = SandTriaxial(121);
  LabBench builtIn = SandTriaxial(102);
  bench::RunLabBenchmark(state, user);
  // Both timed the same way after the loop; the target is a ratio below 2.
  state.counters["ratio_to_model2"] = MeanMicroseconds(user, 200) / MeanMicroseconds(builtIn, 200);
}
BENCHMARK(BM_TriaxialUserModel21)->Unit(benchmark::kMicrosecond);

}  // namespace
