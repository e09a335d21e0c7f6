// The whole example calibration: the drained triaxial Mohr-Coulomb job of
// examples/sand_triaxial (one test, 100 load steps, two curves, Gref and
// sin(phi) free), searched with intensity 1 and 2. Reports objective
// evaluations per second and the wall time of one calibration.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "input/readers.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "services/clock.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;

// The job as the run sequence reads it.
input::Job ReadExampleJob() {
  input::Job job;
  const std::string path = std::string(SOILCAL_SOURCE_DIR) + "/examples/sand_triaxial/OPTIM.TXT";
  input::ReadOptimisationInput(services::ToUpperCase(path), job);
  input::LabTest current;
  for (input::LabTest& test : job.tests) input::ReadLabTestInput(test, current);
  job.material = current.material;
  job.modelNumber = current.modelNumber;
  input::ReadMeasuredCurves(job);
  return job;
}

// Sends standard output (the optimiser's progress lines) to /dev/null while
// it lives.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_;
};

void BM_ExampleCalibration(benchmark::State& state) {
  services::SetFlushToZero();
  const input::Job job = ReadExampleJob();
  optimisation::SwarmOptions options;
  options.intensity = static_cast<int>(state.range(0));
  options.tolerance = job.settings.tolerance;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;

  long evaluations = 0;
  double bestError = 0.0;
  QuietStdout quiet;
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = services::CpuTime();
  for (auto _ : state) {
    optimisation::JobObjective objective(job, models::ModelResources{});
    const optimisation::SwarmResult r = optimisation::PSwarm(options, objective);
    evaluations += r.evaluations;
    bestError = r.bestError;
    benchmark::DoNotOptimize(r.best.data());
  }
  const double cpu = services::CpuTime() - cpuStart;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double runs = static_cast<double>(state.iterations());
  const double total = static_cast<double>(evaluations);
  // Per wall second (what the user waits for) and per CPU second (what the
  // code costs, independent of other load on the machine).
  state.counters["evaluations_per_s"] = total / wall;
  state.counters["evaluations_per_cpu_s"] = cpu > 0.0 ? total / cpu : 0.0;
  state.counters["evaluations"] = total / runs;
  state.counters["wall_ms"] = wall / runs * 1e3;
  state.counters["error_percent"] = bestError;
}
BENCHMARK(BM_ExampleCalibration)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("intensity")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
