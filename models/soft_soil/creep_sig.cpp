// CrpSig, Init_Crp and the creep stiffness of the soft-soil creep model.
#include <algorithm>
#include <cmath>

#include "models/soft_soil/creep.hpp"
#include "models/soft_soil/initial_state.hpp"
#include "models/soft_soil/invariants.hpp"
#include "models/soft_soil/parameters.hpp"
#include "services/diag.hpp"

namespace soilcal::models::soft_soil {
namespace {

using services::Diag;

double StressFloor(const PropSoil& prop, const ModelConstants* k) {
  return k ? k->stressFloor : prop[35] / 100.0;
}

bool CreepActive(const CreepParams& cp) {
  return cp.mu > 0.0 && cp.tau > 0.0 && cp.lk > 0.0 && std::isfinite(cp.mu) &&
         std::isfinite(cp.tau) && std::isfinite(cp.beta);
}

bool Finite(const Vec6& v) {
  for (double x : v) {
    if (!std::isfinite(x)) return false;
  }
  return true;
}

void DebugStart(const StressCall& call, double pcOld) {
  const double times[] = {call.time, call.dTime};
  Diag().Line("CrpSubStep, tt0,dT=", times);
  Diag().Line("Sig0:", std::span<const double>(call.sig0));
  Diag().Line("dEps:", std::span<const double>(call.dEps));
  Diag().Line("PcOld=", pcOld);
}

}  // namespace

CreepParams MakeCreepParams(const PropSoil& prop, const ModelConstants& k, double G,
                            double SPhi, double CoheSi) {
  CreepParams cp;
  cp.lk = prop[48];
  cp.beta = prop[50];
  cp.mu = prop[48] / prop[50];
  cp.tau = cp.mu / prop[49];
  cp.G = G;
  cp.nu = prop[2];
  cp.K = BulkModulus(G, cp.nu);
  cp.M = prop[31];
  cp.floor = k.stressFloor;
  if (SPhi > 1e-10 && CoheSi > 0.0 && CoheSi / SPhi < 1e9) cp.shift = CoheSi / SPhi;
  return cp;
}

double CrpSig(StressCall& call) {
  const PropSoil& prop = *call.prop;
  ModelConstants k;
  if (call.k) k = *call.k; else k.stressFloor = prop[35] / 100.0;
  CreepParams cp = MakeCreepParams(prop, k, call.G, call.SPhi, call.CoheSi);
  cp.debug = call.debug;
  const double pcOld = std::max(call.pms0.pc, k.stressFloor);
  const bool firstPoint = call.intGlo == 1 && Diag().on();

  CreepResult r;
  r.sig = ElasticTrial(call.sig0, call.dEps, cp.K, cp.G);
  r.pc = pcOld;
  const PQ e = Invariants(r.sig);
  r.peq = EquivalentPressure(e.p, e.q, cp.M, cp.shift, 1e-6);
  if (!(call.dTime > 0.0)) {
    if (firstPoint) Diag().Line("Skip, dT=0");
  } else if (e.p < 0.0) {
    if (firstPoint) Diag().Line("Skip, Pe<0", e.p);
  } else if (CreepActive(cp)) {
    if (call.debug && Diag().on()) DebugStart(call, pcOld);
    CrpSubStep(cp, call.sig0, call.dEps, call.dTime, pcOld, 0, r);
  }

  call.tauMax = 0.5 * std::max(0.5 * cp.M * Invariants(r.sig).p, prop[35] / 100.0);
  if (!Finite(r.sig) || !std::isfinite(r.pc)) {
    // A broken integration keeps the start state; the accuracy check flags it.
    r.sig = call.sig0;
    r.pc = pcOld;
    r.lambda = 0.0;
    call.tauMax = 1e-6;
  }
  call.sigE = r.sig;
  call.sigC = r.sig;
  call.pms.pc = r.pc;
  // The model's own state (after the point record): the equivalent pressure
  // and the creep multiplier summed over the steps.
  if (call.stVar && call.nStat >= 2) {
    double* own = call.stVar + kModelStateOffset;
    own[0] = r.peq;
    own[1] = (call.stVar0 ? call.stVar0[kModelStateOffset + 1] : 0.0) + r.lambda;
  }
  return r.peq;
}

int InitCrp(PointInitCall& call) {
  if (Diag().on()) Diag().Line("Init_Crp");
  const PropSoil& prop = *call.prop;
  const double pc = InitialPc(8, prop, *call.k, call.initialStress, call.preconsolidation);
  if (!std::isfinite(pc) || !(prop[31] > 0.0)) {
    if (Diag().on()) Diag().Line("Init_Crp: no valid pc", pc);
    return 1;
  }
  call.pms->pc = pc;
  if (call.stVar && call.nStat >= 2) {
    const PQ s = Invariants(call.initialStress);
    call.stVar[0] = EquivalentPressure(s.p, s.q, prop[31], CohesionShift(prop), call.k->stressFloor);
    call.stVar[1] = 0.0;
  }
  return 0;
}

void CreepTangent(ElasticCall& call) {
  const PropSoil& prop = call.set->prop;
  const double nu = prop[2];
  const double G = call.pms ? call.pms->G : prop[1];
  call.D = IsotropicElasticMatrix(G, nu);
  if (!call.pms || !(call.dTime > 0.0)) return;

  ModelConstants k;
  if (call.k) k = *call.k; else k.stressFloor = StressFloor(prop, nullptr);
  const CreepParams cp = MakeCreepParams(prop, k, G, call.pms->SPhi, call.pms->CoheSi);
  const PQ s = Invariants(call.sig0);
  if (!CreepActive(cp) || s.p <= 0.0 || !(cp.K > 0.0)) return;

  const double peq = EquivalentPressure(s.p, s.q, cp.M, cp.shift, k.stressFloor);
  const double pc = std::max(call.pms->pc, k.stressFloor);
  const double ex = std::min(100.0, cp.beta * std::log(peq / pc));
  const double X = std::min(1e15, call.dTime / cp.tau * (ex < -100.0 ? 0.0 : std::exp(ex)));
  const double compliance = 1.0 / cp.K + cp.lk * X / ((1.0 + X) * peq);
  const double factor = 1.0 / (cp.K * compliance);
  if (!(factor > 0.0) || !std::isfinite(factor)) return;
  for (auto& row : call.D) {
    for (double& v : row) v *= factor;
  }
}

}  // namespace soilcal::models::soft_soil
