// Cost of one simulated drained triaxial test of 100 load steps with the
// Hardening Soil model (model 6, cap parameters from the library), run on
// one context again and again as the objective function does, beside the
// same test with Mohr-Coulomb (model 2) for comparison.
#include "bench_support.hpp"
#include "services/library.hpp"

namespace {

using namespace soilcal;

// Sand in kN and m: E50 = Eoed = 20 MPa, Eur = 60 MPa, m = 0.5, phi 30 deg,
// c 5 kPa, psi 10 deg (the Mohr-Coulomb set of the other benchmarks with the
// stiffness of the hardening law).
std::unique_ptr<input::Job> SandJob(int model) {
  testing::SoilParams s;
  s.G = 25000.0;
  s.nu = 0.2;
  auto job = testing::MakeJob(model, s);
  auto& p = job->material.params;
  p[21] = 0.0;
  p[22] = 1.0;
  p[34] = 0.5;
  p[35] = 100.0;
  p[37] = 0.9;
  p[38] = 20000.0;
  p[39] = -1.0;
  p[40] = 20000.0;
  return job;
}

void RunTest(benchmark::State& state, int model) {
  services::SharedLibrary lib;
  models::ModelResources res;
  if (lib.LoadByName("zarirude.dll")) {
    res.capItr = reinterpret_cast<models::HsCapItrFn>(lib.Symbol("HS_CapItr"));
  }
  bench::RunLabTestRepeatedly(state, *SandJob(model),
                              testing::TriaxialCompression(model, -0.15, 100, 0.0025), res);
}

void BM_HardeningSoilTriaxial100Steps(benchmark::State& state) { RunTest(state, 106); }
BENCHMARK(BM_HardeningSoilTriaxial100Steps)->Unit(benchmark::kMicrosecond);

void BM_MohrCoulombTriaxial100StepsForComparison(benchmark::State& state) { RunTest(state, 102); }
BENCHMARK(BM_MohrCoulombTriaxial100StepsForComparison)->Unit(benchmark::kMicrosecond);

}  // namespace
