// Modified Cam-Clay stress routine (model 5): an elliptic cap
// F = p (p - pc) + (q/M)^2 in compression-positive p and q, associated flow,
// and the preconsolidation pressure pc hardened by the plastic volumetric
// strain with a trapezoidal rule, solved for the plastic multiplier by
// Newton's method.
#pragma once

#include "models/stress_call.hpp"

namespace soilcal::models::soft_soil {

// Returns call.sigE to the cap. Reads call.pms0.pc (pc at the start of the
// step, the iteration restarts from it), call.G, call.nu, call.voidRatio,
// call.sigEQ, call.tol and the slots 31 (M), 32 (lambda*/kappa*),
// 35 (pref) and 40 (kappa = (1 + e0) kappa*). Writes call.sigC,
// call.pms.pc, call.iArea (0 elastic, 3 cap, 1 critical state; negative when
// the reference stress was inside the start surface), call.capFlag and
// call.tauMax. Allocation-free unless the diagnostic channel is on.
void CamClaySig(StressCall& call);

}  // namespace soilcal::models::soft_soil
