// Sub-stepping of a load step that does not converge as a whole. Only the
// UBC3D sand (model 34) is carried this way: its tangent in cyclic
// mobility falls to a fraction of a percent of its elastic stiffness,
// which the elastic-matrix iteration cannot resolve within its limit. The
// steps of every other model stay as they are.
#pragma once

#include "labtest/context.hpp"

namespace soilcal::labtest {

inline bool CarriesInSubSteps(int model) { return model == 34; }

// The failed step of ctx.point again in 2, 4, ... 64 equal sub-steps, each
// solved by the fast iteration and committed; `refresh` runs before every
// sub-step after the first (the moduli of a stress-dependent model). Returns
// kStepAccepted, or kStepNotConverged with the point back at the start of
// the step.
int SolveInSubSteps(SimulationContext& ctx, void (*refresh)(SimulationContext&));

}  // namespace soilcal::labtest
