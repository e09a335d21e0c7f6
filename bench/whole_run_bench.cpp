// The sand example at search intensity 3 run whole (reference run, search,
// sensitivities, final run, uncertainty, summary and report) on one and on
// two threads, side by side: wall and CPU time of each, the time after the
// search ends (work that does not shrink with threads shows there), and
// the speed-up of two threads over one.
//
// Wall times on a shared machine say how busy it was. Beside them, figures
// that hold under load: CPU seconds per evaluation on each thread count, the
// run's CPU outside the parallel tasks (its serial work), and the speed-up on
// idle cores modelled from the CPU time of every task of every batch (each
// batch laid out on two threads as the dynamic schedule takes it, the serial
// work added).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run/calibration.hpp"
#include "services/batch_timing.hpp"
#include "services/clock.hpp"

namespace {

using namespace soilcal;
namespace fs = std::filesystem;

class Silent : public services::ConsoleSink {
 public:
  void Write(services::ConsoleStream, std::string_view) override {}
};

// A copy of examples/sand_triaxial with the intensity line set to 3.
std::string SandAtIntensity3(const fs::path& folder) {
  fs::remove_all(folder);
  fs::copy(fs::path(SOILCAL_SOURCE_DIR) / "examples" / "sand_triaxial", folder,
           fs::copy_options::recursive);
  const fs::path optim = folder / "OPTIM.TXT";
  std::ifstream in(optim);
  std::stringstream text;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) text << (n == 2 ? "3" : line) << "\n";
  in.close();
  std::ofstream(optim) << text.str();
  return optim.string();
}

struct Timed {
  double wall = 0.0, cpu = 0.0;  // s, CPU of all threads
  double afterSearch = 0.0;      // s of wall time from the end of the search
  long evaluations = 0;
  services::BatchTiming tasks;   // CPU s of every task of every batch
  double TaskCpu() const { return tasks.TaskCpu(); }
  // CPU s outside the tasks: the serial work (and, on several threads, the
  // time a waiting thread spins).
  double OutsideTasks() const { return cpu - TaskCpu(); }
  // Wall s on `threads` idle cores: the serial work of `serial` s and each
  // batch laid out as the dynamic schedule takes it.
  double Modelled(int threads, double serial) const {
    double wall = serial;
    for (const auto& b : tasks.batches) wall += services::GreedyMakespan(b.taskCpu, threads);
    return wall;
  }
};

Timed RunOn(int threads) {
  const fs::path folder = fs::temp_directory_path() / ("soilcal_whole_run_" + std::to_string(threads));
  Silent silent;
  run::CalibrationRequest request;
  request.path = SandAtIntensity3(folder);
  request.threads = threads;
  request.console = &silent;
  request.progressLine = false;
  request.progressInterval = std::chrono::milliseconds(0);
  Timed t;
  request.batchTiming = &t.tasks;
  using Clock = std::chrono::steady_clock;
  Clock::time_point searchEnd{};
  request.progress = [&](const optimisation::SearchProgress& p) {
    if (p.phase >= optimisation::SearchPhase::kSensitivities && searchEnd == Clock::time_point{}) {
      searchEnd = Clock::now();
    }
  };
  const auto start = Clock::now();
  const double cpu = services::CpuTime();
  const run::CalibrationOutcome out = run::RunCalibration(request);
  const auto end = Clock::now();
  t.cpu = services::CpuTime() - cpu;
  t.wall = std::chrono::duration<double>(end - start).count();
  if (searchEnd != Clock::time_point{}) {
    t.afterSearch = std::chrono::duration<double>(end - searchEnd).count();
  }
  if (out.found) t.evaluations = out.found->evaluations;
  fs::remove_all(folder);
  return t;
}

void BM_SandIntensity3WholeRun(benchmark::State& state) {
  Timed one, two;
  for (auto _ : state) {
    one = RunOn(1);
    two = RunOn(2);
  }
  const double ev = static_cast<double>(one.evaluations);
  // The serial work as the one-thread run measures it (no thread waits there).
  const double serial = one.OutsideTasks();
  const double modelled = one.Modelled(1, serial) / one.Modelled(2, serial);
  std::printf("sand_triaxial, intensity 3, whole run (%ld evaluations, %ld tasks in %zu batches)\n"
              "  threads   wall s    CPU s   after search s   CPU ms/evaluation   CPU outside tasks s\n"
              "  1       %7.3f  %7.3f  %7.3f          %7.4f             %7.4f\n"
              "  2       %7.3f  %7.3f  %7.3f          %7.4f             %7.4f\n"
              "  speed-up of 2 threads over 1, wall: %.2f\n"
              "  serial share of the one-thread run's CPU: %.1f %%\n"
              "  speed-up of 2 threads over 1 on idle cores, modelled from the task times: %.2f\n",
              one.evaluations, one.tasks.Tasks(), one.tasks.batches.size(), one.wall, one.cpu,
              one.afterSearch, 1e3 * one.cpu / ev, one.OutsideTasks(), two.wall, two.cpu,
              two.afterSearch, 1e3 * two.cpu / ev, two.OutsideTasks(), one.wall / two.wall,
              100.0 * serial / one.cpu, modelled);
  state.counters["wall_1_thread_s"] = one.wall;
  state.counters["wall_2_threads_s"] = two.wall;
  state.counters["cpu_1_thread_s"] = one.cpu;
  state.counters["after_search_1_thread_s"] = one.afterSearch;
  state.counters["after_search_2_threads_s"] = two.afterSearch;
  state.counters["speed_up_2_over_1"] = one.wall / two.wall;
  state.counters["cpu_per_eval_ratio_2_over_1"] = two.cpu / one.cpu;
  state.counters["serial_share"] = serial / one.cpu;
  state.counters["modelled_speed_up_2_over_1"] = modelled;
}
BENCHMARK(BM_SandIntensity3WholeRun)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
