// What a search tells its observer while it runs. The observer (a progress
// line, a log) is called on the calling thread at deterministic points: at
// each phase change, after each accepted starting point and after each
// iteration. It must not change the search.
#pragma once

#include <functional>
#include <span>

namespace soilcal::optimisation {

enum class SearchPhase {
  kReferenceRun, kStartingPoints, kIterations, kSensitivities, kFinalRun, kUncertainty,
  kProfiles,  // the profile likelihoods of the uncertainty step
  kWriting,   // the summary and the report; the last report of a run
};

// The phase's name in machine-readable progress (the module's progress
// calls, the program's --progress=json lines).
constexpr const char* PhaseName(SearchPhase phase) {
  switch (phase) {
    case SearchPhase::kReferenceRun: return "reference_run";
    case SearchPhase::kStartingPoints: return "starting_points";
    case SearchPhase::kIterations: return "iterations";
    case SearchPhase::kSensitivities: return "sensitivities";
    case SearchPhase::kFinalRun: return "final_run";
    case SearchPhase::kUncertainty: return "uncertainty";
    case SearchPhase::kProfiles: return "profiles";
    case SearchPhase::kWriting: return "writing";
  }
  return "";
}

struct SearchProgress {
  SearchPhase phase = SearchPhase::kStartingPoints;
  int iteration = 0;          // iterations completed so far
  long evaluations = 0;       // objective evaluations so far
  double bestError = -1.0;    // mean relative error of the best point, percent; < 0 none yet
  double bestObjective = -1.0;  // objective of the best point; < 0 none yet
  double convergence = -1.0;  // relative change of the best objective; < 0 not yet known
  double tolerance = 0.0;     // what `convergence` is compared with
  // Counts of the phase where it has them: the profile sides walked and
  // their number; 0 and 0 elsewhere.
  long done = 0;
  long total = 0;
  // The best point so far (the search's own parameter vector), valid during
  // the call only; empty where the phase has none.
  std::span<const double> best{};
};

using ProgressObserver = std::function<void(const SearchProgress&)>;

// Calls the observer when one is set.
inline void Report(const ProgressObserver& observer, const SearchProgress& progress) {
  if (observer) observer(progress);
}

}  // namespace soilcal::optimisation
