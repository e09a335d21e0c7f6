// Our default and thorough searches against two established optimisers
// (pagmo2's particle swarm and differential evolution) on the objective of
// the example jobs, at equal evaluation budgets (pagmo's differential
// evolution without its early stop, so it spends the whole budget). Evaluation counts are the
// fair measure: wall time on a shared machine is noise.
//
//   soilcal_peers [--seeds=K] [JOB_FOLDER ...]   (default: every example job)
//
// Prints one table per job on standard output: method, budget, evaluations used, objective and
// mean relative error of the best point. pagmo runs are the median of K
// seeds (default 1) by objective.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <pagmo/algorithm.hpp>
#include <pagmo/algorithms/de.hpp>
#include <pagmo/algorithms/pso.hpp>
#include <pagmo/population.hpp>
#include <pagmo/problem.hpp>

#include "bench/example_jobs.hpp"
#include "input/readers.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/clock.hpp"
#include "services/errors.hpp"
#include "services/library.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;

// The job as the run sequence reads it, with the cap library when needed.
std::unique_ptr<bench::ExampleJob> ReadJob(const std::string& folder) {
  auto loaded = std::make_unique<bench::ExampleJob>();
  if (!bench::ReadJobFolder(folder, *loaded)) return nullptr;
  return loaded;
}

// The job's objective as a pagmo problem. pagmo copies problems, so the
// objective is shared; it also remembers the error of the best point.
struct Shared {
  optimisation::JobObjective objective;
  double bestObjective = 1e300;
  double bestError = -1.0;
};
struct PagmoJob {
  std::shared_ptr<Shared> shared;
  std::vector<double> lower, upper;
  pagmo::vector_double fitness(const pagmo::vector_double& x) const {
    const optimisation::Evaluation e = shared->objective.Evaluate(x);
    if (e.status == 0 && e.objective < shared->bestObjective) {
      shared->bestObjective = e.objective;
      shared->bestError = e.error;
    }
    return {e.status == 0 ? e.objective : std::max(e.objective, 1e21)};
  }
  std::pair<pagmo::vector_double, pagmo::vector_double> get_bounds() const { return {lower, upper}; }
};

struct Outcome {
  double objective = 1e300;
  double error = -1.0;
  long evaluations = 0;
};

constexpr unsigned kPopulation = 20;

Outcome RunPeer(const bench::ExampleJob& loaded, bool swarm, long budget, unsigned seed) {
  auto shared = std::make_shared<Shared>(Shared{{loaded.job, loaded.resources}});
  const pagmo::problem problem{PagmoJob{shared, loaded.job.settings.lower, loaded.job.settings.upper}};
  const auto generations = static_cast<unsigned>(std::max<long>(1, budget / kPopulation - 1));
  pagmo::algorithm algorithm = swarm ? pagmo::algorithm{pagmo::pso(generations, 0.7298, 2.05, 2.05, 0.5, 5u, 2u, 4u, false, seed)}
                                     : pagmo::algorithm{pagmo::de(generations, 0.8, 0.9, 2u, 0.0, 0.0, seed)};
  bench::Quiet quiet(true);  // the searches' progress and budget lines
  pagmo::population population{problem, kPopulation, seed};
  population = algorithm.evolve(population);
  return {shared->bestObjective, shared->bestError,
          static_cast<long>(population.get_problem().get_fevals())};
}

Outcome Median(std::vector<Outcome> runs) {
  std::sort(runs.begin(), runs.end(), [](const Outcome& a, const Outcome& b) { return a.objective < b.objective; });
  return runs[runs.size() / 2];
}

Outcome RunOurs(const bench::ExampleJob& loaded, bool thorough, long budget) {
  optimisation::SwarmOptions options;
  options.intensity = loaded.job.settings.intensity;
  options.tolerance = loaded.job.settings.tolerance;
  options.lower = loaded.job.settings.lower;
  options.upper = loaded.job.settings.upper;
  optimisation::JobObjective objective(loaded.job, loaded.resources);
  bench::Quiet quiet(true);  // the searches' progress and budget lines
  const optimisation::SwarmResult r =
      thorough ? optimisation::ThoroughSearch(options, objective, {budget, 0})
               : optimisation::PSwarm(options, objective);
  return {r.bestObjective, r.bestError, r.evaluations};
}

void Row(const char* method, long budget, const Outcome& o) {
  std::printf("| %-22s | %6ld | %6ld | %12.6g | %9.3f |\n", method, budget, o.evaluations,
               o.objective, o.error);
  std::fflush(stdout);
}

void CompareOn(const std::string& folder, unsigned seeds) {
  const std::unique_ptr<bench::ExampleJob> loaded = ReadJob(folder);
  if (!loaded) {
    std::fprintf(stderr, "%s: cannot load the cap library\n", folder.c_str());
    return;
  }
  const int n = static_cast<int>(loaded->job.settings.lower.size());
  const std::string source = std::string(SOILCAL_SOURCE_DIR) + "/";
  const std::string name = folder.rfind(source, 0) == 0 ? folder.substr(source.size()) : folder;
  std::printf("\n%s (n = %d, thorough budget %ld)\n", name.c_str(), n,
               optimisation::ThoroughBudget(n));
  std::printf("| method                 | budget |  evals |    objective | error (%%) |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  Row("default search", 0, RunOurs(*loaded, false, 0));
  for (long budget : {500L, 1000L, 2000L}) Row("thorough", budget, RunOurs(*loaded, true, budget));
  Row("thorough (own budget)", optimisation::ThoroughBudget(n), RunOurs(*loaded, true, 0));
  for (bool swarm : {true, false}) {
    for (long budget : {500L, 1000L, 2000L, 5000L}) {
      if (swarm && budget == 5000L) continue;
      std::vector<Outcome> runs;
      for (unsigned s = 1; s <= seeds; ++s) runs.push_back(RunPeer(*loaded, swarm, budget, s));
      Row(swarm ? "pagmo pso" : "pagmo de", budget, Median(runs));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  services::SetFlushToZero();
  unsigned seeds = 1;
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--seeds=", 0) == 0) {
      seeds = static_cast<unsigned>(std::max(1, std::stoi(arg.substr(8))));
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.empty()) {
    const std::string examples = std::string(SOILCAL_SOURCE_DIR) + "/examples/";
    for (const char* job : {"sand_triaxial", "hardening_soil", "soft_clay", "udsm_job",
                            "measured_sand/mohr_coulomb", "measured_sand/hardening_soil",
                            "measured_sand/volumetric"}) {
      folders.push_back(examples + job);
    }
  }
  for (const std::string& folder : folders) {
    try {
      CompareOn(folder, seeds);
    } catch (const services::RunError& e) {
      std::fprintf(stderr, "%s: run error %d\n", folder.c_str(), e.code);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", folder.c_str(), e.what());
    }
  }
  return 0;
}
