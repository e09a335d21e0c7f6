#include "labtest/sub_steps.hpp"

#include "labtest/step_solver.hpp"

namespace soilcal::labtest {

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
    pt = start;
    const double f = 1.0 / n;
    for (int i = 0; i < 6; ++i) {
      pt.strainIncrement[i] *= f;
      pt.stressIncrement[i] *= f;
      pt.dEps[i] *= f;
    }
    pt.furtherIncrement *= f;
    pt.dTime *= f;
    status = kStepAccepted;
    for (int k = 0; k < n && status == kStepAccepted; ++k) {
      pt.stepSizeFactor = 1.0;
      if (k > 0) refresh(ctx);
      int iterations = 0;
      status = SolveMaterialPointStep(ctx, iterations);
    }
  }
  ctx.stepSolver = solver;
  if (status != kStepAccepted) {
    pt = start;
    return status;
  }
  // The later steps of the phase take the phase's own increments.
  pt.strainIncrement = start.strainIncrement;
  pt.stressIncrement = start.stressIncrement;
  pt.furtherIncrement = start.furtherIncrement;
  pt.dTime = start.dTime;
  pt.stepSizeFactor = 1.0;
  return status;
}

}  // namespace soilcal::labtest
