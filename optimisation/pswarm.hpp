// Particle swarm with a line search along each particle's velocity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "optimisation/problem.hpp"
#include "optimisation/progress.hpp"

namespace soilcal::optimisation {

// Minimal-standard Lehmer generator (multiplier 48271, modulus 2^31 - 1),
// evaluated with Schrage's method; state 1 at the start of a run.
class UniformRandom {
 public:
  UniformRandom() = default;
  // Starts from a given state in 1..2^31-2 (tests); a search starts from 1.
  explicit UniformRandom(std::int32_t state) : state_(state) {}
  // Next value in [0, 0.99999988], single precision.
  float Next();
  std::int32_t state() const { return state_; }

 private:
  std::int32_t state_ = 1;
};

struct SwarmOptions {
  int intensity = 1;                // 1, 2 or 3
  double tolerance = 0.0;           // relative convergence tolerance
  std::vector<double> lower, upper; // bounds, one pair per free parameter
  std::string abortFlagPath;        // project folder + "AbortCalc"
  int maxIterations = 10000;
  ProgressObserver progress;        // optional; told of phases and iterations
  // Seconds without any usable starting point after which standard error
  // says so, once; the search goes on drawing.
  double quietStartSeconds = 10.0;
};

struct SwarmResult {
  std::vector<double> best;         // global best point
  double bestObjective = 1e30;
  double bestError = 1.0;           // mean relative error of the best point
  std::vector<double> sensitivity;  // relative sensitivities (-1 after an abort)
  int exitStatus = 0;               // 0, or 18 after an abort
  long evaluations = 0;
  int iterations = 0;
  // False when the search was stopped before `best` was ever evaluated (it
  // is then all zeros and bestError the start value 1).
  bool bestEvaluated = false;
  // Thorough search: how often it went on from a better point that a later
  // step (the profile likelihoods) met, and the evaluations that took.
  int continuations = 0;
  long continuationEvaluations = 0;
};

// Runs the search. Raises run errors 5 to 9 through StopWithError.
SwarmResult PSwarm(const SwarmOptions& options, Problem& problem);

}  // namespace soilcal::optimisation
