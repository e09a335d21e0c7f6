// The thorough search: a population search that keeps going while it still
// improves, then a bound-constrained local refinement of its best point.
// Slower than the default swarm, but it ends at the bottom of the valley
// the default often stops above. Same problem, bounds, result record.
#pragma once

#include <span>

#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {

// When the thorough search ends. kAdaptive: once its population and its
// local refinement have converged (one cycle), the budget only a ceiling.
// kBudget: cycles from fresh seeds until a cycle no longer improves the best
// or the budget runs short (the search as it was before the adaptive test;
// kept for comparisons).
enum class ThoroughStopping { kAdaptive, kBudget };

struct ThoroughOptions {
  long maxEvaluations = 0;  // objective evaluations allowed; 0 = ThoroughBudget(n)
  int threads = 0;          // evaluation threads; 0 = the OpenMP default
  // Search with the problem's fast precision where it has one; the best
  // point is then evaluated again exactly, and the sensitivities and
  // everything reported come from exact evaluations.
  bool fastSearch = true;
  ThoroughStopping stopping = ThoroughStopping::kAdaptive;
};

// The default budget for n free parameters: 1500 n evaluations, at most 5000.
long ThoroughBudget(int n);

// Runs the search. Same run errors as PSwarm (5, 7, 8); exit status 18 after
// an abort, with sensitivities -1.
SwarmResult ThoroughSearch(const SwarmOptions& options, Problem& problem,
                           const ThoroughOptions& thorough = {});

// Evaluations of a continuation for n free parameters: a short local search,
// 100 (n + 1), and the sensitivities.
long ContinuationBudget(int n);

// Goes on from `start`, a point with a lower objective than the search's
// best that a later step met (a profile likelihood re-minimising the
// others): a short exact local search from it, then the sensitivities at
// the point where it ends. Returns `found` with that point, its figures and
// sensitivities, `continuations` one more and the evaluations added; the
// best point is never worse than `start`. After an abort the exit status is
// 18 and the rest as in `found`.
SwarmResult ContinueThoroughSearch(const SwarmOptions& options, Problem& problem,
                                   const SwarmResult& found, std::span<const double> start,
                                   int threads = 0);

}  // namespace soilcal::optimisation
