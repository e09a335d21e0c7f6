// Internals of the particle swarm: the swarm arrays, the evaluation counter,
// the abort watch and the steps of one search. Only the swarm's own sources
// include this header.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "optimisation/abort_watch.hpp"
#include "optimisation/parallel_batch.hpp"
#include "optimisation/failure_tally.hpp"
#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {

inline constexpr double kNoObjective = 1e30;  // "no personal best yet"

// Swarm size, line-search samples and the initialisation evaluation limit of
// a search intensity.
struct SwarmSizes {
  int particles = 0;        // S
  int samples = 0;          // m
  long long initLimit = 0;  // initial evaluations allowed
};

// Sizes for intensity 1, 2 or 3; run error 5 for any other intensity.
SwarmSizes SizesForIntensity(int intensity);

// The problem with a count of its evaluations and of why points failed;
// `abort`, when set, lets a line search stop between its evaluations.
struct CountingProblem {
  Problem& problem;
  long evaluations = 0;
  FailureTally failures{};
  AbortWatch* abort = nullptr;
  bool AbortRequested() const { return abort != nullptr && abort->Requested(); }
  Evaluation Evaluate(std::span<const double> x) {
    ++evaluations;
    Evaluation e = problem.Evaluate(x);
    if (e.status != 0) failures.Add(e.reason);
    return e;
  }
};

// The swarm arrays, particle i and parameter j both 0-based, rows of n.
struct Swarm {
  int S = 0;
  int n = 0;
  std::vector<double> position, velocity, bestPosition;  // S x n
  std::vector<double> bestObjective;                     // S
  std::vector<double> bestError;                         // S
  std::vector<double> globalBest;                        // n
  double globalBestObjective = kNoObjective;
  double globalBestError = 1.0;
  int informant = -1;  // 0-based particle, -1 until one is found

  Swarm(int particles, int parameters);
  std::span<double> Row(std::vector<double>& a, int i) {
    return std::span<double>(a).subspan(static_cast<std::size_t>(i) * n, n);
  }
  double& At(std::vector<double>& a, int i, int j) {
    return a[static_cast<std::size_t>(i) * n + j];
  }
};

// Everything one search works with.
struct SwarmRun {
  const SwarmOptions& options;
  SwarmSizes sizes;
  CountingProblem eval;             // the primary problem; counts every evaluation
  UniformRandom random;
  AbortWatch abort;
  Swarm swarm;
  std::vector<double> work, trial;  // scratch rows of n, one per particle
  ProblemPool pool;                 // the problem and its clones, one per thread
};

// Draws S starting points whose evaluation succeeds. Run errors 7
// and 8. Returns true when the abort flag was found. Several draws are
// evaluated at once, but they are taken in draw order and the generator is
// left where a one-at-a-time search would leave it.
bool InitialPositions(SwarmRun& run);
// Random velocities of 5 % of the range; no personal bests yet.
void InitialVelocities(SwarmRun& run);
// Each particle's line search along its velocity, all at once; outcomes,
// evaluation count and abort check are taken in particle order. Returns true
// when the abort flag was found.
bool EvaluateParticles(SwarmRun& run);
// Cognitive, social, random and inertia terms. Run error 9.
void UpdateVelocities(SwarmRun& run);
// Moves each particle by its velocity, jittered by at most 0.1 %.
void UpdatePositions(SwarmRun& run);
// The best personal best, ties to the earlier particle.
void UpdateGlobalBest(Swarm& swarm);

struct LineSearchResult {
  double objective = kNoObjective;
  double error = 0.0;
  bool improved = false;
};

// Samples x + t v for t = s - m/2 - 1, s = 1..m, moving x to every sample
// that improves; stops early when the problem's abort watch says so.
// `trial` is scratch of the size of x.
LineSearchResult VelocityLineSearch(CountingProblem& eval, std::span<double> x,
                                    std::span<const double> v, int m,
                                    std::span<double> trial);

// Relative sensitivity of the mean error to each parameter at `best`, scaled
// so that the largest is 100. The parameters are evaluated at once on the
// pool; `evaluations` counts them.
std::vector<double> RelativeSensitivities(ProblemPool& pool, long& evaluations,
                                          const SwarmOptions& options,
                                          std::span<const double> best, double bestError);

// One line " <label> = <value>" on standard output.
void PrintLabelledValue(const std::string& label, double value);

}  // namespace soilcal::optimisation
