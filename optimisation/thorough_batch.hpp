// Evaluation of point batches for the thorough search on the search's
// problem pool: results stored by point index, so the search sees the same
// numbers, diagnostic lines and errors in the same order for any number of
// threads.
#pragma once

#include <random>
#include <span>
#include <vector>

#include "optimisation/parallel_batch.hpp"
#include "optimisation/problem.hpp"

namespace soilcal::optimisation {

// Worse than every usable point: what a failed or inadmissible point counts
// as when points are compared.
inline constexpr double kUnusable = 1e300;

// Objective for comparisons: the objective of a usable evaluation, else
// kUnusable.
inline double Rank(const Evaluation& e) { return e.status == 0 ? e.objective : kUnusable; }

class BatchEvaluator {
 public:
  // threads <= 0: all evaluation threads. Falls back to one thread when the
  // problem cannot be cloned.
  BatchEvaluator(Problem& problem, int threads) : pool_(problem, threads) {}
  // Evaluates `count` points stored as rows of n in `points`; result i
  // belongs to row i. An exception of any evaluation is rethrown after the
  // batch, the one of the lowest row first. Once `stop` (optional, asked on
  // every thread before each point) says true, no further point starts.
  // Returns how many leading rows have their result; only those count as
  // evaluations.
  int Evaluate(std::span<const double> points, int n, std::span<Evaluation> out,
               const std::function<bool()>& stop = {});
  Evaluation EvaluateOne(std::span<const double> x);
  long evaluations() const { return evaluations_; }
  // The precision of every problem of the pool (Problem::SetPrecision).
  bool SetPrecision(Precision precision) { return pool_.SetPrecision(precision); }
  int threads() const { return pool_.threads(); }
  Problem& problem() { return pool_.primary(); }

 private:
  ProblemPool pool_;
  long evaluations_ = 0;
};

// Deterministic uniform numbers in [0, 1): the 64-bit Mersenne twister,
// whose sequence the C++ standard fixes, mapped to doubles by hand (the
// standard distributions differ between libraries).
class SearchRandom {
 public:
  explicit SearchRandom(std::uint64_t seed) : engine_(seed) {}
  double Next() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  // Integer in [0, k).
  int Below(int k) { return static_cast<int>(Next() * k); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace soilcal::optimisation
