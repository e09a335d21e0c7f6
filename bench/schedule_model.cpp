// The speed-up the example searches can reach on idle cores, from measured
// costs: the search runs once on one thread with the CPU time of every
// evaluation recorded, then the batches the search forms (starting points,
// one batch of line searches per iteration, the sensitivities) are laid out
// on T threads as the dynamic schedule takes them, each task to the first
// thread that is free. On a machine whose cores other work keeps busy the
// wall-clock speed-up cannot be seen; this figure can.
#include <benchmark/benchmark.h>

#include "bench/example_jobs.hpp"
#include <time.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "input/readers.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/swarm_state.hpp"
#include "services/clock.hpp"
#include "services/library.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Record {
  double cost = 0.0;  // CPU s
  int status = 0;
};

// The objective with the CPU time of every evaluation written down; no
// clones, so the search stays on one thread.
class TimedProblem : public optimisation::Problem {
 public:
  explicit TimedProblem(optimisation::Problem& inner) : inner_(inner) {}
  optimisation::Evaluation Evaluate(std::span<const double> x) override {
    const double t0 = ThreadCpuSeconds();
    const optimisation::Evaluation e = inner_.Evaluate(x);
    records.push_back({ThreadCpuSeconds() - t0, e.status});
    return e;
  }
  bool IsAdmissible(std::span<const double> x) override { return inner_.IsAdmissible(x); }
  std::vector<Record> records;

 private:
  optimisation::Problem& inner_;
};

// Finish time of tasks handed in order to the first free of `threads`.
double Makespan(const std::vector<double>& tasks, int threads) {
  std::vector<double> freeAt(static_cast<std::size_t>(threads), 0.0);
  for (double t : tasks) *std::min_element(freeAt.begin(), freeAt.end()) += t;
  return *std::max_element(freeAt.begin(), freeAt.end());
}

// Time of the evaluations of the whole search on `threads` threads.
double ParallelTime(const std::vector<Record>& r, const optimisation::SwarmSizes& sizes,
                    int iterations, int n, int threads) {
  const std::size_t lineSearchEvaluations =
      static_cast<std::size_t>(iterations) * sizes.particles * sizes.samples;
  const std::size_t init = r.size() - lineSearchEvaluations - static_cast<std::size_t>(n);
  double total = 0.0;
  // Starting points: batches of max(missing, threads) candidates taken in
  // order; a candidate the one-thread run never drew costs the mean.
  double mean = 0.0;
  for (std::size_t k = 0; k < init; ++k) mean += r[k].cost / static_cast<double>(init);
  std::size_t next = 0;
  for (int accepted = 0; accepted < sizes.particles && next < init;) {
    const int count = std::max(sizes.particles - accepted, threads);
    std::vector<double> batch;
    for (int k = 0; k < count; ++k, ++next) {
      batch.push_back(next < init ? r[next].cost : mean);
      if (next < init && r[next].status == 0 && accepted < sizes.particles) ++accepted;
    }
    total += Makespan(batch, threads);
  }
  std::size_t at = init;
  for (int it = 0; it < iterations; ++it) {
    std::vector<double> batch;
    for (int p = 0; p < sizes.particles; ++p) {
      double task = 0.0;
      for (int s = 0; s < sizes.samples; ++s) task += r[at++].cost;
      batch.push_back(task);
    }
    total += Makespan(batch, threads);
  }
  std::vector<double> sensitivities;
  for (; at < r.size(); ++at) sensitivities.push_back(r[at].cost);
  return total + Makespan(sensitivities, threads);
}

struct ExampleSearch {
  const char* job;
  int intensity;  // 0: the job's own
};
const ExampleSearch kSearches[] = {{"sand_triaxial", 0},  {"sand_triaxial", 2}, {"soft_clay", 0},
                                   {"hardening_soil", 0}, {"hardening_soil", 2}};

void BM_ExampleJobTwoCoreModel(benchmark::State& state) {
  services::SetFlushToZero();
  const ExampleSearch& search = kSearches[state.range(0)];
  bench::ExampleJob example;
  bench::ReadExample(search.job, example);
  const input::Job& job = example.job;
  const models::ModelResources& resources = example.resources;
  optimisation::SwarmOptions options = bench::SwarmOptionsOf(job);
  options.intensity = search.intensity > 0 ? search.intensity : job.settings.intensity;
  state.SetLabel(std::string(search.job) + " intensity " + std::to_string(options.intensity));

  for (auto _ : state) {
    optimisation::JobObjective objective(job, resources);
    TimedProblem timed(objective);
    const double t0 = ThreadCpuSeconds();
    const optimisation::SwarmResult r = optimisation::PSwarm(options, timed);
    const double serial = ThreadCpuSeconds() - t0;
    const double evaluations = std::accumulate(
        timed.records.begin(), timed.records.end(), 0.0,
        [](double sum, const Record& rec) { return sum + rec.cost; });
    const double bookkeeping = serial - evaluations;  // the search's own serial work
    const auto sizes = optimisation::SizesForIntensity(options.intensity);
    const int n = static_cast<int>(options.lower.size());
    for (int threads : {2, 4}) {
      const double parallel =
          bookkeeping + ParallelTime(timed.records, sizes, r.iterations, n, threads);
      state.counters["speed_up_" + std::to_string(threads) + "_cores"] = serial / parallel;
    }
    state.counters["serial_share_percent"] = 100.0 * bookkeeping / serial;
  }
}
BENCHMARK(BM_ExampleJobTwoCoreModel)
    ->DenseRange(0, 4)
    ->ArgName("job")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
