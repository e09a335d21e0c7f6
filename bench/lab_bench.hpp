// What the lab-test benchmarks share: the jobs of their soils, the
// triaxial and oedometer records, and one simulated test run again and again
// on one context as the objective function runs it, with the per-test
// figures as counters.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "services/library.hpp"

namespace soilcal::bench {

// Load steps of every benchmarked test.
inline constexpr int kSteps = 100;
// The loosest tolerance a test file can ask for.
inline constexpr double kTolerance = 0.0025;

// Mohr-Coulomb sand (G 10 MPa, nu 0.3, phi 30 deg, c 5 kPa, psi 10 deg);
// model 21 gets the same soil as the example user library's parameters.
std::unique_ptr<input::Job> SandJob(int modelNumber);
// Hardening Soil sand (models 6 and 19): E50 = Eoed = 20 MPa, Eur = 60 MPa,
// m 0.5, phi 30 deg, c 5 kPa; model 19 with G0ref 75 MPa, gamma0.7 1e-4.
std::unique_ptr<input::Job> HardeningSoilJob(int modelNumber);
// Soft clay (models 4, 5, 8): lambda* 0.1, kappa* 0.02, M 1.2, K0nc 0.6,
// mu* 0.004.
std::unique_ptr<input::Job> SoftClayJob(int modelNumber);
// NGI-ADP soft clay in kN and m: s_u^A 50, s_u^P 30, s_u^DSS 35,
// G_ur/s_u^A 500, peak shear strains 4 %, 8 %, 6 %; an undrained set (code
// 212), whose pore water from nu_u keeps the volume.
inline constexpr int kUndrainedNgiAdp = 212;
std::unique_ptr<input::Job> NgiAdpClayJob();
// Hoek-Brown rock mass (model 15) in kN and m: sigma_ci 60 MPa, mi 12,
// GSI 60, G 4 GPa, nu 0.25, dilatancy 10 deg up to 20 MPa.
std::unique_ptr<input::Job> HoekBrownRockJob();

// Drained triaxial compression from 100 kPa to `axialStrain` (negative).
input::LabTest Triaxial(int modelNumber, double axialStrain);
// Oedometer loading from 100 kPa vertical by 300 kPa over 100 days.
input::LabTest Oedometer(int modelNumber);

// One test on one context, with the run resources it needs (the cap
// library for models 6 and 19, a user-model session for 21..30).
class LabBench {
 public:
  LabBench(std::unique_ptr<input::Job> job, input::LabTest test);
  // The context points at itself (its message texts): it stays where it is.
  LabBench(const LabBench&) = delete;
  LabBench& operator=(const LabBench&) = delete;
  // Prepares and runs the test once; false when a step failed.
  bool RunOnce();
  const labtest::SimulationContext& context() const { return ctx_; }
  // The iteration that solves the load steps (the prescribed one unless set).
  void SetStepSolver(labtest::StepSolver solver) { ctx_.stepSolver = solver; }

 private:
  services::SharedLibrary capLibrary_;
  std::unique_ptr<input::Job> job_;
  input::LabTest test_;
  labtest::SimulationContext ctx_;
};

// The benchmark loop over `bench`, with the counters time_per_test,
// time_per_step and iterations_per_test.
void RunLabBenchmark(benchmark::State& state, LabBench& bench);

}  // namespace soilcal::bench
