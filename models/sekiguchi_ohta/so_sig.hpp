// Stress routines of the Sekiguchi-Ohta models 31 (inviscid) and 32
// (viscid): the return of so_return.hpp on the elastic trial stress, the
// hardening pressure in PointMatState entry 6.
#pragma once

#include "models/stress_call.hpp"

namespace soilcal::models::sekiguchi_ohta {

// iArea: 0 elastic (or negligible creep), +-1 yield surface, +-2 no
// compression left (tension); iAbort stays 0.
void SO_Sig(StressCall& call);

}  // namespace soilcal::models::sekiguchi_ohta
