// The equilibrium iteration of one load step of the material point: each of
// the six components is prescribed either in stress or in strain; the step
// finds the strain increment for which the stress-prescribed components
// reach their targets.
#pragma once

#include "labtest/context.hpp"
#include "models/tensor.hpp"

namespace soilcal::labtest {

// Step statuses.
inline constexpr int kStepAccepted = 0;
inline constexpr int kStepNotConverged = 3;
// A step whose final error exceeds this multiple of the tolerance fails.
inline constexpr double kStepErrorLimitFactor = 25.0;

// Scales the increments of the step by the step-size factor of the last
// accepted step (kept, so it shrinks every later step of the phase).
void ApplyStepSizeFactor(MaterialPoint& pt);

// Solves one load step of ctx.point and commits it when accepted. Returns
// kStepAccepted or kStepNotConverged (nothing committed); `iterations` gets
// the number of equilibrium iterations, ctx.totalIterations is raised by it.
int SolveMaterialPointStep(SimulationContext& ctx, int& iterations);

// Updates the load multiplier Factor from the first prediction du0, the
// unit-load response duE and the correction dx (only with the acceleration
// flag on).
void IterationAcceleration(MaterialPoint& pt, int iter, const Vec6& du0, const Vec6& duE,
                           const Vec6& dx);

}  // namespace soilcal::labtest
