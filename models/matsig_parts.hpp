// Pieces of the dispatcher MatSig that are not the routing itself: the
// counting, the local accuracy check, the default case and the debug dumps.
#pragma once

#include "models/matsig.hpp"
#include "models/stress_call.hpp"

namespace soilcal::models::matsig {

// True for the reduced numbers that have an effective elastic matrix.
bool HasEffectiveStiffness(int model);

// Unknown model: message on unit 2 and in a message box; iAbort 246.
void DefaultCase(int model, MatSigOutput& out);

// Raises the counters of the point's outcome (plastic, newly plastic,
// tension, apex, cap, hardening corner).
void CountOutcome(const StressCall& call, MatSigCounters& counters);

// Local accuracy of the returned stress against the reference stress SigEQ:
// adds to the error and weight sums and marks an inaccurate point by adding
// 10 to the magnitude of call.iArea.
void CheckAccuracy(const MatSigInput& in, StressCall& call, MatSigCounters& counters);

// Debug dumps (only called with the debug switch and the channel on).
void DumpElasticTestPoint(const StressCall& call, const Vec6& dEps, const Vec6& dsigE);
void DumpStresses(const StressCall& call);

}  // namespace soilcal::models::matsig
