// Sub-steps of the UBC3D sand (model 34). Its tangent in cyclic mobility
// falls to a fraction of a percent of its elastic stiffness, and its
// effective stress runs down to nearly zero and back within a load step
// or two of each cycle. Two things follow, and only this model is carried
// either way; the steps of every other model stay as they are:
//  - a load step that does not converge as a whole is solved again in 2,
//    4, ... 64 equal sub-steps, and where none of those converges, in
//    sub-steps that halve where they fail (down to 1/4096 of the step);
//  - an accepted load step in which the mean effective stress changed by
//    much more than it is at its lower end is solved again in sub-steps
//    fine enough to follow that change, and a cyclic test is watched for
//    liquefaction at every sub-step. The lowest effective stress of a
//    cycle is then found, and so the cycle of liquefaction, whether the
//    cycle was loaded in 20 or in 80 steps.
#pragma once

#include "labtest/context.hpp"

namespace soilcal::labtest {

struct LiquefactionWatch;

inline bool CarriesInSubSteps(int model) { return model == 34; }

// The failed step of ctx.point again in 2, 4, ... 64 equal sub-steps, then
// in sub-steps that halve where they fail, each solved by the fast
// iteration and committed; `refresh` runs before every
// sub-step after the first (the moduli of a stress-dependent model). Returns
// kStepAccepted, or kStepNotConverged with the point back at the start of
// the step.
int SolveInSubSteps(SimulationContext& ctx, void (*refresh)(SimulationContext&));

// Largest change of the mean effective stress in one sub-step as a share of
// its value at the lower end of the step, and the lowest value that counts,
// as a share of the test's reference effective stress.
inline constexpr double kResolvedChange = 0.05;
inline constexpr double kLowestResolved = 0.005;
inline constexpr int kMostResolvingSubSteps = 128;

// Sub-steps an accepted step needs whose mean effective stress went from
// pStart to pEnd (compression positive) in a test of reference effective
// stress `reference`: 1 when the change is small enough.
int SubStepsToResolve(double pStart, double pEnd, double reference);

// The accepted step that started from `before` (the point as it was before
// the step was solved) again in n equal sub-steps by the fast iteration
// (the prescribed one where it cannot converge a sub-step), `refresh`
// before every sub-step after the first; `watch`, when
// given, observes every sub-step as point `point`. Returns true with the
// point at the end of the last sub-step, or false, the point and the watch
// untouched, when a sub-step did not converge.
bool ResolveStep(SimulationContext& ctx, const MaterialPoint& before, int n,
                 void (*refresh)(SimulationContext&), LiquefactionWatch* watch, int point);

}  // namespace soilcal::labtest
