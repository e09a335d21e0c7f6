#include "labtest/step_solver.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "labtest/elem_both.hpp"
#include "labtest/linalg.hpp"
#include "labtest/step_parts.hpp"
#include "labtest/stress_update.hpp"
#include "models/principal.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"

namespace soilcal::labtest {

// Scales the increments of the step by the step-size factor of the last
// accepted step (kept, so it shrinks every later step of the phase).
void ApplyStepSizeFactor(MaterialPoint& pt) {
  const double f = pt.stepSizeFactor;
  if (std::abs(f - 1.0) <= 1e-6) return;
  for (int i = 0; i < 6; ++i) {
    pt.dEps[i] *= f;
    pt.strainIncrement[i] *= f;
    pt.stressIncrement[i] *= f;
  }
  pt.furtherIncrement *= f;
}

namespace {

// The stiffness with the strain-prescribed rows and columns replaced by the
// identity; r0 collects the stress response to the prescribed strains.
void ModifyForPrescribedStrains(const MaterialPoint& pt, Mat6& A, Vec6& r0) {
  r0 = Vec6{};
  for (int j = 0; j < 6; ++j) {
    if (pt.controlFlags[j] != 0) continue;
    for (int i = 0; i < 6; ++i) r0[i] += A[i][j] * pt.strainIncrement[j];
    for (int i = 0; i < 6; ++i) {
      A[j][i] = 0.0;
      A[i][j] = 0.0;
    }
    A[j][j] = 1.0;
  }
}

// Adds the prescribed strain increments to the strain-prescribed components.
void AddPrescribedStrains(const MaterialPoint& pt, Vec6& v) {
  for (int i = 0; i < 6; ++i) v[i] += (1 - pt.controlFlags[i]) * pt.strainIncrement[i];
}

}  // namespace

namespace step {

void CommitStep(SimulationContext& ctx) {
  MaterialPoint& pt = ctx.point;
  pt.stepSizeFactor = pt.iter > (10LL * pt.maxIterations) / 3 ? 0.5 : 1.0;
  // The evaluation after an accepted step, still with the start stress. Its
  // matrix is not used: only a user library does something with it (it
  // refreshes the stiffness it receives in its next stress call); for every
  // other model it would repeat the iteration matrix of this step.
  if (models::udsm::IsUserModel(ctx.set.modelCode % 100)) {
    Mat6 unused;
    ELEMBoth(ctx, kAfterAcceptedStep, unused);
  }

  pt.sig0 = pt.sig;
  for (int i = 0; i < 6; ++i) pt.eps[i] += pt.dEps[i];
  pt.time += pt.dTime;
  pt.swp0 = pt.swp;
  pt.voidRatioCommitted = pt.voidRatio;
  const int n = std::min(models::kModelStateOffset + pt.nStat, models::kStateCapacity);
  std::copy_n(pt.stVar.begin(), n, pt.stVar0.begin());
  const double smallest = models::PrincipalStressDirections(pt.sig0).s[0];
  pt.preconsolidation = std::min(pt.preconsolidation, smallest);
}

}  // namespace step

namespace {

// Leaves the transpose of A^-1 in pt.inverseTransposed, reusing the point's
// last inverse when A has the same bits. Only clean inversions are kept, so a
// reused one never skips the report of a replaced pivot.
void InvertIterationMatrix(MaterialPoint& pt, const Mat6& A) {
  if (pt.inverseValid && std::memcmp(&A, &pt.invertedMatrix, sizeof A) == 0) return;
  Mat6 Ainv;
  const int replaced = InvertMatrix(A, Ainv, 6, true);
  pt.inverseValid = replaced == 0;
  pt.invertedMatrix = A;
  pt.inverseTransposed = Transposed(Ainv);
}

}  // namespace

namespace step {

// The flags enter as 0.0 or 1.0 and the terms are formed two components at a
// time; each lane computes exactly the scalar expression, and the two sums
// keep their order.
double OutOfBalance(MaterialPoint& pt, const Vec6& start, const Vec6& S, const Vec6& P, Vec6& r) {
  const Pair factor{pt.Factor, pt.Factor};
  const Pair swp{pt.swp, pt.swp};
  const Pair hundredth{0.01, 0.01};
  Vec6 t;
  for (int i = 0; i < 6; i += 2) {
    const Pair s = LoadPair(&S[i]);
    const Pair inc = LoadPair(&pt.stressIncrement[i]);
    const Pair target = LoadPair(&start[i]) + factor * s * inc;
    const Pair total = LoadPair(&pt.sig[i]) + LoadPair(&P[i]) * swp;
    StorePair(&pt.target[i], target);
    StorePair(&r[i], s * (target - total));
    StorePair(&t[i], s * inc + hundredth * total);
  }
  double num = 0.0;
  double den = 0.0;
  for (int i = 0; i < 6; ++i) num += r[i] * r[i];
  for (int i = 0; i < 6; ++i) den += t[i] * t[i];
  return std::sqrt(num / (den + 1e-10));
}

void CountStep(SimulationContext& ctx, int iterations) {
  StepSolverStats& stats = ctx.solverStats;
  ++stats.steps;
  stats.iterations += iterations;
  if (ctx.counters.plastic > 0) {
    ++stats.plasticSteps;
    stats.plasticIterations += iterations;
  }
}

}  // namespace step

namespace {

// Steps 2 to 8 of a load step: the iteration matrix and its inverse, the
// targets, the response to the full prescribed increments and the
// out-of-balance at the start, and the initial prediction.
step::StepSystem SetUpStep(SimulationContext& ctx) {
  MaterialPoint& pt = ctx.point;
  const auto& S = pt.controlFlags;
  const auto& P = pt.porePressureFlags;
  step::StepSystem sys;
  sys.start = pt.target;
  pt.targetStart = sys.start;
  Mat6 A;
  ELEMBoth(ctx, kIterationMatrix, A);
  for (int i = 0; i < 6; ++i) pt.target[i] = sys.start[i] + S[i] * pt.Factor * pt.stressIncrement[i];

  Vec6 r0;
  ModifyForPrescribedStrains(pt, A, r0);
  InvertIterationMatrix(pt, A);
  const Mat6& AinvT = pt.inverseTransposed;
  for (int i = 0; i < 6; ++i) {
    sys.Sd[i] = S[i];
    sys.Pd[i] = P[i];
  }

  // Response to the full prescribed increments of the step.
  Vec6 rhs;
  for (int i = 0; i < 6; ++i) rhs[i] = S[i] * pt.stressIncrement[i] - S[i] * r0[i];
  sys.duE = MatVecTransposed(AinvT, rhs);
  AddPrescribedStrains(pt, sys.duE);

  // Out-of-balance at the start of the step.
  for (int i = 0; i < 6; ++i) {
    const double total0 = pt.sig0[i] + P[i] * pt.swp0;
    sys.r[i] = S[i] * ((pt.stressIncrement[i] * pt.Factor + sys.start[i]) - total0) - S[i] * r0[i];
  }
  if (pt.initialPrediction == 1) {
    pt.dEps = MatVecTransposed(AinvT, sys.r);
    AddPrescribedStrains(pt, pt.dEps);
    pt.du0 = pt.dEps;
  }
  return sys;
}

// Steps 9 and 10: the prescribed iteration with the elastic matrix. Returns
// the final error; `iterations` gets the number of iterations.
double PrescribedIteration(SimulationContext& ctx, step::StepSystem sys, int& iterations) {
  MaterialPoint& pt = ctx.point;
  const Mat6& AinvT = pt.inverseTransposed;
  Vec6& r = sys.r;
  double error = 0.0;
  int iter = 0;
  pt.iterRelaxation = 1.0;
  for (;;) {
    ++iter;
    pt.iter = iter;
    if (iter >= 2) {
      const Vec6 dx = MatVecTransposed(AinvT, r);
      IterationAcceleration(pt, iter, pt.du0, sys.duE, dx);
      pt.iterRelaxation = iter < 3 ? 1.0 : pt.relaxation;
      const double dFactor = pt.Factor - pt.FacOld;
      const Pair relax{pt.iterRelaxation, pt.iterRelaxation};
      const Pair df{dFactor, dFactor};
      for (int i = 0; i < 6; i += 2) {
        const Pair d =
            LoadPair(&pt.dEps[i]) + (relax * LoadPair(&dx[i]) + df * LoadPair(&sys.duE[i]));
        StorePair(&pt.dEps[i], d);
      }
    }
    UpdateMaterialPointStress(ctx, iter);
    ++ctx.totalIterations;
    error = step::OutOfBalance(pt, sys.start, sys.Sd, sys.Pd, r);
    // A non-finite error can only grow worse: stop and let the step fail.
    if (!std::isfinite(error)) break;
    if (!(iter == 1 || (iter < pt.maxIterations && error >= pt.tolerance))) break;
  }
  iterations = iter;
  return error;
}

// What an iteration changes in the point before the step is committed, so
// that the prescribed iteration can start again where the fast one did.
struct TrialStart {
  Vec6 dEps, target, sig;
  double swp = 0.0;

  explicit TrialStart(const MaterialPoint& pt)
      : dEps(pt.dEps), target(pt.target), sig(pt.sig), swp(pt.swp) {}
  void Restore(MaterialPoint& pt) const {
    pt.dEps = dEps;
    pt.target = target;
    pt.sig = sig;
    pt.swp = swp;
  }
};

}  // namespace

void IterationAcceleration(MaterialPoint& pt, int iter, const Vec6& du0, const Vec6& duE,
                           const Vec6& dx) {
  (void)iter;
  if (pt.acceleration == 0) return;
  pt.FacOld = pt.Factor;
  const double a = Dot(du0, dx);
  const double b = Dot(du0, duE);
  if (b != 0.0) pt.Factor = pt.FacOld - a / b;
  if (std::abs(pt.Factor - 1.0) < 0.01) {
    pt.Factor = 1.0;
    return;
  }
  services::DiagChannel& diag = services::Diag();
  if (diag.on()) {
    diag.Line("du0dus", a);
    diag.Line("du0duE", b);
    diag.Line("FacOld", pt.FacOld);
    diag.Line("Factor", pt.Factor);
  }
}

int SolveMaterialPointStep(SimulationContext& ctx, int& iterations) {
  MaterialPoint& pt = ctx.point;
  ApplyStepSizeFactor(pt);
  const step::StepSystem sys = SetUpStep(ctx);

  // The fast iteration where it applies; a step it cannot converge gets the
  // prescribed iteration from the same start.
  int fast = 0;
  if (ctx.stepSolver == StepSolver::kFast && pt.acceleration == 0) {
    const TrialStart trial(pt);
    if (step::FastIteration(ctx, sys, fast)) {
      iterations = fast;
      ctx.iterationsOfLastStep = fast;
      ctx.errorOfLastStep = 0.0;
      step::CountStep(ctx, fast);
      step::CommitStep(ctx);
      return kStepAccepted;
    }
    ++ctx.solverStats.fallbacks;
    trial.Restore(pt);
  }

  int iter = 0;
  const double error = PrescribedIteration(ctx, sys, iter);
  iterations = iter;
  ctx.iterationsOfLastStep = iter;
  ctx.errorOfLastStep = error;

  if (!(error <= step::kFailureFactor * pt.tolerance)) return kStepNotConverged;
  // A fallback step counts the fast iterations it spent first.
  step::CountStep(ctx, fast + iter);
  step::CommitStep(ctx);
  return kStepAccepted;
}

}  // namespace soilcal::labtest
