// Cost of the user-model call path: the drained triaxial compression of the
// Mohr-Coulomb sand (100 load steps to 5 % axial strain) with the example
// library's model 21 against the built-in model 2 with the same parameters.
// Each stress call of the user model also asks the library for its
// stiffness, so the interesting figure is the ratio of the two times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

#include "models/udsm/session.hpp"
#include "tests/labtest/lab_records.hpp"

namespace {

using namespace soilcal;

constexpr double kPi = 3.14159265358979323846;
constexpr int kSteps = 100;

std::unique_ptr<input::Job> SandJob(int modelNumber) {
  const testing::SoilParams s;
  auto job = testing::MakeJob(modelNumber, s);
  if (modelNumber % 100 == 21) {
    input::MaterialInput& m = job->material;
    m.name = "usermod.dll";
    m.params[31] = 2.0 * s.G * (1.0 + s.nu);
    m.params[32] = s.nu;
    m.params[33] = s.c;
    m.params[34] = std::asin(s.sinPhi) * 180.0 / kPi;
    m.params[35] = std::asin(s.sinPsi) * 180.0 / kPi;
    m.params[36] = s.tension;
  }
  return job;
}

struct Bench {
  std::unique_ptr<input::Job> job;
  input::LabTest test;
  labtest::SimulationContext ctx;
  std::shared_ptr<models::udsm::Session> session = models::udsm::MakeSession();

  explicit Bench(int modelNumber)
      : job(SandJob(modelNumber)),
        test(testing::TriaxialCompression(modelNumber, -0.05, kSteps, 0.0025)) {
    labtest::InitContext(ctx, *job, models::ModelResources{});
    if (!ctx.udsmSession) ctx.udsmSession = session;
    ctx.resources.udsm = ctx.udsmSession.get();
    ctx.resources.texts = &ctx.texts;
  }
  bool RunOnce() {
    labtest::PrepareLabTest(ctx, test);
    return labtest::RunLabTest(ctx).status == 0;
  }
};

void SetCounters(benchmark::State& state) {
  const double tests = static_cast<double>(state.iterations());
  state.counters["time_per_test"] =
      benchmark::Counter(tests, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["time_per_step"] = benchmark::Counter(
      tests * kSteps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Mean wall time of `n` runs in microseconds.
double MeanMicroseconds(Bench& b, int n) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) b.RunOnce();
  const std::chrono::duration<double, std::micro> d = std::chrono::steady_clock::now() - start;
  return d.count() / n;
}

void BM_TriaxialBuiltInModel2(benchmark::State& state) {
  Bench b(102);
  for (auto _ : state) {
    if (!b.RunOnce()) state.SkipWithError("test run failed");
    benchmark::DoNotOptimize(b.ctx.rec.stress.data());
  }
  SetCounters(state);
}
BENCHMARK(BM_TriaxialBuiltInModel2)->Unit(benchmark::kMicrosecond);

void BM_TriaxialUserModel21(benchmark::State& state) {
  Bench b(121);
  Bench reference(102);
  for (auto _ : state) {
    if (!b.RunOnce()) state.SkipWithError("test run failed");
    benchmark::DoNotOptimize(b.ctx.rec.stress.data());
  }
  SetCounters(state);
  // Both timed the same way after the loop; the target is a ratio below 2.
  const double user = MeanMicroseconds(b, 200);
  const double builtIn = MeanMicroseconds(reference, 200);
  state.counters["ratio_to_model2"] = user / builtIn;
}
BENCHMARK(BM_TriaxialUserModel21)->Unit(benchmark::kMicrosecond);

}  // namespace
