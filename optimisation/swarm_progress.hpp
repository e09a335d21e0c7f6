// Progress reports of the particle swarm to its observer.
#pragma once

#include "optimisation/progress.hpp"
#include "optimisation/swarm_state.hpp"

namespace soilcal::optimisation {

// Tells the observer of run.options where the search stands. `previous` is
// the global best objective of the iteration before (kNoObjective when there
// is none yet), against which the convergence test measures the change.
void ReportSwarm(const SwarmRun& run, SearchPhase phase, int iteration,
                 double previous = kNoObjective);

}  // namespace soilcal::optimisation
