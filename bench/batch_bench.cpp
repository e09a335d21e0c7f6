// A batch of 20 copies of the sand example against the same 20 runs one
// after another (each a single run on all cores, as a user would start
// them), with the programs of this build:
//   soilcal_bench --benchmark_filter=BM_Batch
// Counters: wall and CPU seconds of each (CPU: the children's user and
// system time) and their ratios. The order alternates between repetitions,
// so both see the same load of the machine.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "services/paths.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kCopies = 20;

double ChildrenCpu() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Runs the program with `args` in `dir`, its output discarded; waits.
void Run(const std::string& program, const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
}

struct Timed {
  double wall = 0.0;
  double cpu = 0.0;
};

template <typename F>
Timed Time(F f) {
  const auto wall = Clock::now();
  const double cpu = ChildrenCpu();
  f();
  return {std::chrono::duration<double>(Clock::now() - wall).count(), ChildrenCpu() - cpu};
}

void BM_Batch(benchmark::State& state) {
  const std::string program = soilcal::services::ProgramFolder() + "soilcal";
  const fs::path root = fs::temp_directory_path() / ("soilcal_batch_bench_" + std::to_string(::getpid()));
  std::vector<std::string> jobs;
  for (int k = 0; k < kCopies; ++k) {
    const std::string name = "sand" + std::to_string(k);
    fs::create_directories(root / name);
    for (const auto& entry :
         fs::directory_iterator(std::string(SOILCAL_SOURCE_DIR) + "/examples/sand_triaxial")) {
      if (entry.is_regular_file()) {
        fs::copy_file(entry.path(), root / name / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
      }
    }
    jobs.push_back(name + "/OPTIM.TXT");
  }
  Timed sequential, batch;
  int repetition = 0;
  for (auto _ : state) {
    auto one = [&] {
      return Time([&] {
        for (const std::string& job : jobs) Run(program, {job}, root);
      });
    };
    auto all = [&] { return Time([&] { Run(program, jobs, root); }); };
    Timed s, b;
    if (repetition++ % 2 == 0) {
      s = one();
      b = all();
    } else {
      b = all();
      s = one();
    }
    sequential.wall += s.wall;
    sequential.cpu += s.cpu;
    batch.wall += b.wall;
    batch.cpu += b.cpu;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["wall_one_after_another_s"] = sequential.wall / n;
  state.counters["wall_batch_s"] = batch.wall / n;
  state.counters["wall_ratio"] = batch.wall / sequential.wall;
  state.counters["cpu_one_after_another_s"] = sequential.cpu / n;
  state.counters["cpu_batch_s"] = batch.cpu / n;
  state.counters["cpu_ratio"] = batch.cpu / sequential.cpu;
  std::error_code ec;
  fs::remove_all(root, ec);
}
BENCHMARK(BM_Batch)->Iterations(4)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
