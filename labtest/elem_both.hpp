// Stiffness of the single material point for the step solver (ELEMBoth).
#pragma once

#include "labtest/context.hpp"
#include "models/tensor.hpp"

namespace soilcal::labtest {

// Mode of ELEMBoth: the iteration matrix of a step, or the evaluation after
// an accepted step (for user-defined models the task number of the library).
inline constexpr int kIterationMatrix = 3;
inline constexpr int kAfterAcceptedStep = 6;

// Undrained Poisson's ratio used when the set's own (slot 28) is not above
// the drained one (the undrained set would otherwise get no or a negative
// water stiffness) or not below 0.5 (infinite water stiffness).
inline constexpr double kDefaultUndrainedNu = 0.495;

// Bulk stiffness of the pore water over porosity that turns the drained
// bulk modulus of G and nu into the undrained one of G and nuU:
// (2/3) G ((1 + nuU)/(1 - 2 nuU) - (1 + nu)/(1 - 2 nu)).
double UndrainedWaterStiffness(double G, double nu, double nuU);

// True for the model numbers ELEMBoth can form a matrix for; models 31 and
// 32 (Sekiguchi-Ohta) only when the job asks for the extended models.
bool IsElemBothModel(int model, bool extendedModels = false);

// Forms the 6x6 stiffness K of the point from the start-of-step state,
// including the water stiffness of undrained sets. Side effects: the set's
// drained elastic matrix (ctx.set.D, which MatSig uses) and the set's BUW.
// An unsupported model throws services::KernelAbort " Invalid model in
// ELEMBoth ".
void ELEMBoth(SimulationContext& ctx, int mode, Mat6& K);

}  // namespace soilcal::labtest
