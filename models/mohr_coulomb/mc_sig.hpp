// MC_Sig: stress integration of the linear elastic, perfectly plastic
// Mohr-Coulomb model with tension cut-off, one closed-form return per call.
#pragma once

#include "models/stress_call.hpp"

namespace soilcal::models {

// Returns the trial stress held in call.sigC (MatSig's SigE, or the creep
// result of model 8) to the yield surfaces of call.SPhi, call.SPsi,
// call.CoheSi and call.Tens with stiffness call.G, call.nu; call.sigEQ is the
// reference stress that tells a newly plastic point (iArea -1).
// Writes call.sigC, call.iArea (0 elastic, +-1 shear, 2 tension cut-off
// involved), call.tension, call.apex and, for plastic points, call.tauMax.
// A sin(phi) above 0.999 is used as 0.999 and written back to call.SPhi.
// Never sets call.iAbort; allocation-free unless the diagnostic channel is on.
void MC_Sig(StressCall& call);

}  // namespace soilcal::models
