#include "labtest/sub_steps.hpp"

#include <algorithm>
#include <cmath>

#include "labtest/cyclic.hpp"
#include "labtest/step_solver.hpp"

namespace soilcal::labtest {
namespace {

// The increments of a sub-step: the share f of those of the whole step
// `start` (its step-size factor already applied).
void TakeShareOfStep(MaterialPoint& pt, const MaterialPoint& start, double f) {
  for (int i = 0; i < 6; ++i) {
    pt.strainIncrement[i] = start.strainIncrement[i] * f;
    pt.stressIncrement[i] = start.stressIncrement[i] * f;
    pt.dEps[i] = start.dEps[i] * f;
  }
  pt.furtherIncrement = start.furtherIncrement * f;
  pt.dTime = start.dTime * f;
}

// n equal sub-steps from `start` (its increments those of the whole step,
// its step-size factor already applied); kStepAccepted when every one
// converged. Each sub-step is offered to `watch`.
int RunEqualSubSteps(SimulationContext& ctx, const MaterialPoint& start, int n,
                     void (*refresh)(SimulationContext&), LiquefactionWatch* watch, int point) {
  MaterialPoint& pt = ctx.point;
  pt = start;
  TakeShareOfStep(pt, start, 1.0 / n);
  for (int k = 0; k < n; ++k) {
    pt.stepSizeFactor = 1.0;
    if (k > 0) refresh(ctx);
    int iterations = 0;
    const int status = SolveMaterialPointStep(ctx, iterations);
    if (status != kStepAccepted) return status;
    if (watch != nullptr) watch->Observe(point, pt.time, pt.eps, pt.swp0);
  }
  return kStepAccepted;
}

// The step from `start` in sub-steps of sizes that adapt: a sub-step that
// does not converge is tried again at half its size (down to 1/kSmallest of
// the step), and after one that converges the next may be twice as large
// again. Where the sand is soft only over part of the step (the turn from
// unloading to dilative loading near zero effective stress), the rest of
// the step is not cut as finely as that part.
constexpr int kSmallest = 4096;

int RunAdaptiveSubSteps(SimulationContext& ctx, const MaterialPoint& start,
                        void (*refresh)(SimulationContext&)) {
  MaterialPoint& pt = ctx.point;
  pt = start;
  int done = 0;                  // of kSmallest parts of the step
  int size = kSmallest / 128;    // finer than the finest equal sub-steps
  bool first = true;
  while (done < kSmallest) {
    size = std::min(size, kSmallest - done);
    const MaterialPoint saved = pt;
    TakeShareOfStep(pt, start, static_cast<double>(size) / kSmallest);
    pt.stepSizeFactor = 1.0;
    if (!first) refresh(ctx);
    int iterations = 0;
    const int status = SolveMaterialPointStep(ctx, iterations);
    if (status != kStepAccepted) {
      pt = saved;
      if (size == 1) return status;
      size /= 2;
      continue;
    }
    first = false;
    done += size;
    if (size < kSmallest / 2) size *= 2;
  }
  return kStepAccepted;
}

// The later steps of the phase take the phase's own increments.
void RestoreIncrements(MaterialPoint& pt, const MaterialPoint& start) {
  pt.strainIncrement = start.strainIncrement;
  pt.stressIncrement = start.stressIncrement;
  pt.furtherIncrement = start.furtherIncrement;
  pt.dTime = start.dTime;
}

}  // namespace

int SolveInSubSteps(SimulationContext& ctx, void (*refresh)(SimulationContext&)) {
  MaterialPoint& pt = ctx.point;
  // The step's set-up moved the target; the start of the step is as it was.
  pt.target = pt.targetStart;
  pt.stepSizeFactor = 1.0;
  const MaterialPoint start = pt;
  const StepSolver solver = ctx.stepSolver;
  ctx.stepSolver = StepSolver::kFast;
  int status = kStepNotConverged;
  for (int n = 2; n <= 64 && status != kStepAccepted; n *= 2) {
    status = RunEqualSubSteps(ctx, start, n, refresh, nullptr, 0);
  }
  if (status != kStepAccepted) status = RunAdaptiveSubSteps(ctx, start, refresh);
  ctx.stepSolver = solver;
  if (status != kStepAccepted) {
    pt = start;
    return status;
  }
  RestoreIncrements(pt, start);
  pt.stepSizeFactor = 1.0;
  return status;
}

int SubStepsToResolve(double pStart, double pEnd, double reference) {
  const double lower = std::max(std::min(pStart, pEnd), kLowestResolved * reference);
  const double n = std::ceil(std::fabs(pEnd - pStart) / (kResolvedChange * lower));
  if (!(n > 1.0)) return 1;
  return n >= kMostResolvingSubSteps ? kMostResolvingSubSteps : static_cast<int>(n);
}

bool ResolveStep(SimulationContext& ctx, const MaterialPoint& before, int n,
                 void (*refresh)(SimulationContext&), LiquefactionWatch* watch, int point) {
  MaterialPoint& pt = ctx.point;
  const MaterialPoint after = pt;
  // The start of the step with its increments as the step took them.
  MaterialPoint start = before;
  ApplyStepSizeFactor(start);
  start.stepSizeFactor = 1.0;
  LiquefactionWatch seen = watch != nullptr ? *watch : LiquefactionWatch{};
  // The fast iteration, which falls back to the prescribed one where it
  // cannot converge a sub-step.
  const StepSolver solver = ctx.stepSolver;
  ctx.stepSolver = StepSolver::kFast;
  const int status =
      RunEqualSubSteps(ctx, start, n, refresh, watch != nullptr ? &seen : nullptr, point);
  ctx.stepSolver = solver;
  if (status != kStepAccepted) {
    pt = after;
    return false;
  }
  RestoreIncrements(pt, start);
  // The step ends where the whole step ended in time, and the next one
  // takes the size the whole step chose.
  pt.time = after.time;
  pt.stepSizeFactor = after.stepSizeFactor;
  if (watch != nullptr) *watch = seen;
  return true;
}

}  // namespace soilcal::labtest
