// Soft-soil stress routine (model 4): a volumetric cap of the ellipse
// F = q^2/M^2 + p'(p' - pc) in the shifted mean stress p' = p + c cot(phi),
// stress-dependent elasticity K = p'/kappa*, the cap hardened as
// pc = pc0 exp(dEv_p / (lambda* - kappa*)) by the compressive plastic
// volumetric strain dEv_p, and a Mohr-Coulomb failure surface with tension
// cut-off (MC_Sig) applied to the cap result.
#pragma once

#include "models/stress_call.hpp"

namespace soilcal::models::soft_soil {

// Reads call.sigE, call.sigEQ, call.pms0.pc, call.G, call.nu, the strength
// values (SPhi, SPsi, CoheSi, Tens) and slots 31 (M), 35 (pref),
// 38 (kappa*) and 39 (lambda*). Writes call.sigC, call.pms.pc, call.iArea
// (0 elastic, 3 cap, -3 cap reached in this step, 1/-1 failure surface,
// 2 tension cut-off), call.tension, call.apex, call.capFlag, call.tauMax.
// The cap return is a Newton iteration on (multiplier, ln pc) with at most
// 50 iterations ("MAXIT REACHED" on the diagnostic channel otherwise).
void SoftSoilSig(StressCall& call);

}  // namespace soilcal::models::soft_soil
