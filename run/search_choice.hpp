// Which search a run uses: the default swarm, or the thorough search when
// the command line asks for it (--search=thorough) or the job folder holds
// an empty flag file "thorough_search" (so a run started by a host can use
// it too).
#pragma once

#include <string>

#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"
#include "run/options.hpp"

namespace soilcal::run {

inline constexpr const char* kThoroughFlagFile = "thorough_search";

// The command line's choice, made thorough by the flag file in `folder`.
SearchMode ChooseSearch(SearchMode commandLine, const std::string& folder);

// Runs the chosen search on the problem, its evaluations with the chosen
// step solver; the reported figures are exact evaluations.
optimisation::SwarmResult RunSearch(SearchMode mode, const optimisation::SwarmOptions& options,
                                    optimisation::Problem& problem,
                                    SolverChoice solver = SolverChoice::kAuto,
                                    long thoroughBudget = 0);

}  // namespace soilcal::run
