// Cost of one simulated laboratory test: the drained triaxial compression
// of a Mohr-Coulomb sand, 100 load steps to 5 % axial strain, run on one
// context again and again as the objective function does.
#include "bench_support.hpp"

namespace {

using namespace soilcal;

void BM_TriaxialMohrCoulomb100Steps(benchmark::State& state) {
  auto job = testing::MakeJob(102);
  // Tolerance 0.0025: the loosest a test file can ask for.
  bench::RunLabTestRepeatedly(state, *job, testing::TriaxialCompression(102, -0.05, 100, 0.0025),
                              {}, 100);
}
BENCHMARK(BM_TriaxialMohrCoulomb100Steps)->Unit(benchmark::kMicrosecond);

}  // namespace
