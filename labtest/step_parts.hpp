// The parts of a load step that the prescribed and the fast iteration share:
// the step's system, the out-of-balance, the commit of an accepted step and
// the solver's counts. Only the step solver's own sources include this.
#pragma once

#include "labtest/context.hpp"
#include "labtest/step_solver.hpp"
#include "models/tensor.hpp"

namespace soilcal::labtest::step {

inline constexpr double kFailureFactor = kStepErrorLimitFactor;

// What the set-up of a step gives both iterations. The inverse of the
// iteration matrix is the point's (pt.inverseTransposed).
struct StepSystem {
  Vec6 start{};  // total-stress targets at the start of the step
  Vec6 Sd{};     // ControlFlags as 0.0 / 1.0
  Vec6 Pd{};     // PorePressureFlags as 0.0 / 1.0
  Vec6 duE{};    // response to the full prescribed increments
  Vec6 r{};      // out-of-balance at the start of the step
};

// Out-of-balance r of the iteration's end state (and the current targets
// into pt.target); returns the relative error of the step.
double OutOfBalance(MaterialPoint& pt, const Vec6& start, const Vec6& S, const Vec6& P, Vec6& r);

// Commits the accepted step: start values take the end values.
void CommitStep(SimulationContext& ctx);

// Adds an accepted step of `iterations` equilibrium iterations to the
// context's solver counts.
void CountStep(SimulationContext& ctx, int iterations);

// The fast iteration of a step from its set-up (the initial prediction in
// pt.dEps). True when the error fell below the tolerance within the
// iteration limit; then the end state is the step's. False when it could
// not converge the step, or a trial strain made the model fail: the caller
// starts the prescribed iteration again. `iterations` gets the number of
// iterations made either way.
bool FastIteration(SimulationContext& ctx, const StepSystem& sys, int& iterations);

}  // namespace soilcal::labtest::step
