// Stress routine of the Hoek-Brown model (15): the trial check and, when the
// trial stress yields, the return in principal stresses (hb_return.hpp).
#pragma once

#include "models/stress_call.hpp"

namespace soilcal::models::hoek_brown {

// iArea: 0 elastic, +-1 Hoek-Brown surface, +-2 tension cut-off (negative
// when the reference stress SigEQ was still elastic).
void HB_Sig(StressCall& call);

}  // namespace soilcal::models::hoek_brown
