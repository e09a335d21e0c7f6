// The reported figures of a search whose evaluations used the problem's
// fast precision: its best point evaluated again exactly and, unless the
// search was aborted, the sensitivities taken there with exact evaluations,
// so that what the result file shows is the program's exact figure at the
// reported parameters.
#pragma once

#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {

// Switches `problem` to exact evaluations and redoes the best point's
// objective and error (a point that fails exactly keeps the penalty of its
// failed run) and the sensitivities in `result`; adds the evaluations.
void FinishExactly(const SwarmOptions& options, Problem& problem, SwarmResult& result);

}  // namespace soilcal::optimisation
