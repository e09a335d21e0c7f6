#include "bench/lab_bench.hpp"

#include <cmath>

#include "labtest/driver.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "tests/labtest/lab_records.hpp"

namespace soilcal::bench {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Degrees(double sinValue) { return std::asin(sinValue) * 180.0 / kPi; }

}  // namespace

std::unique_ptr<input::Job> SandJob(int modelNumber) {
  const testing::SoilParams s;
  auto job = testing::MakeJob(modelNumber, s);
  if (modelNumber % 100 == 21) {
    input::MaterialInput& m = job->material;
    m.name = "usermod.dll";
    m.params[31] = 2.0 * s.G * (1.0 + s.nu);
    m.params[32] = s.nu;
    m.params[33] = s.c;
    m.params[34] = Degrees(s.sinPhi);
    m.params[35] = Degrees(s.sinPsi);
    m.params[36] = s.tension;
  }
  return job;
}

std::unique_ptr<input::Job> HardeningSoilJob(int modelNumber) {
  testing::SoilParams s;
  s.G = 25000.0;
  s.nu = 0.2;
  auto job = testing::MakeJob(modelNumber, s);
  auto& p = job->material.params;
  p[21] = 0.0;
  p[22] = 1.0;
  p[34] = 0.5;
  p[35] = 100.0;
  p[37] = 0.9;
  p[38] = 20000.0;
  p[39] = -1.0;
  p[40] = 20000.0;
  if (modelNumber % 100 == 19) {
    p[49] = 75000.0;
    p[50] = 1e-4;
  }
  return job;
}

std::unique_ptr<input::Job> SoftClayJob(int modelNumber) {
  testing::SoilParams s;
  s.nu = 0.15;
  s.sinPhi = 0.5;
  s.c = 1.0;
  s.sinPsi = 0.0;
  s.porosity = 0.5;
  auto job = testing::MakeJob(modelNumber, s);
  auto& p = job->material.params;
  p[31] = 1.2;
  p[37] = 0.6;
  p[38] = 0.02;
  p[39] = 0.1;
  p[40] = 0.004;
  return job;
}

std::unique_ptr<input::Job> NgiAdpClayJob() {
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

std::unique_ptr<input::Job> HoekBrownRockJob() {
  testing::SoilParams s;
  s.G = 4.0e6;
  s.nu = 0.25;
  s.sinPhi = 0.0;
  s.c = 0.0;
  s.sinPsi = 0.0;
  auto job = testing::MakeJob(15, s);
  auto& p = job->material.params;
  p[31] = 60000.0;  // sigma_ci
  p[32] = 12.0;     // mi
  p[33] = 60.0;     // GSI
  p[48] = 10.0;     // psi
  p[49] = 20000.0;  // sigma_psi
  return job;
}

input::LabTest Triaxial(int modelNumber, double axialStrain) {
  return testing::TriaxialCompression(modelNumber, axialStrain, kSteps, kTolerance);
}

input::LabTest Oedometer(int modelNumber) {
  const testing::Phase load{kSteps, {}, {0, -300.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 100.0};
  return testing::MakeTest(modelNumber, {-60, -100, -60, 0, 0, 0}, {load}, kTolerance);
}

LabBench::LabBench(std::unique_ptr<input::Job> job, input::LabTest test)
    : job_(std::move(job)), test_(std::move(test)) {
  models::ModelResources res;
  // Without the library a Hardening Soil benchmark stops at the completion.
  if (models::hardening_soil::NeedsCapLibrary(job_->modelNumber)) {
    models::hardening_soil::LoadCapLibrary(capLibrary_, res.capItr);
  }
  // InitContext opens a user-model session of its own for models 21..30.
  labtest::InitContext(ctx_, *job_, res);
}

bool LabBench::RunOnce() {
  labtest::PrepareLabTest(ctx_, test_);
  return labtest::RunLabTest(ctx_).status == 0;
}

void RunLabBenchmark(benchmark::State& state, LabBench& bench) {
  long long iterations = 0;
  for (auto _ : state) {
    if (!bench.RunOnce()) state.SkipWithError("test run failed");
    iterations += bench.context().totalIterations;
    benchmark::DoNotOptimize(bench.context().rec.stress.data());
  }
  const double tests = static_cast<double>(state.iterations());
  // Inverted rates: seconds per test and per load step (printed with SI
  // prefixes, "u" for microseconds).
  state.counters["time_per_test"] =
      benchmark::Counter(tests, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["time_per_step"] = benchmark::Counter(
      tests * kSteps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["iterations_per_test"] = static_cast<double>(iterations) / tests;
}

}  // namespace soilcal::bench
