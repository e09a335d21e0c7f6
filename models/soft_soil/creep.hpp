// Soft-soil creep (model 8): the volumetric creep strain of a time step
// follows from the equivalent pressure p_eq = p + q^2/(M^2 (p + s)) of the
// ellipse through the stress and from the creep preconsolidation pressure
// pc,
//   creep strain = mu* ln(1 + (dt/t) (p_eq/pc)^beta),  beta = (lambda*-kappa*)/mu*,
// the deviatoric creep strain follows the normal of the ellipse, and pc grows
// as pc = pc_start exp(creep strain / (lambda* - kappa*)). MatSig's
// follow-up applies MC_Sig to the creep result and checks the cap.
//
// Time: dt and the reference time t (slot 42) are both in the time unit of
// the test file, so mu*/t (slot 49) is a rate per that unit; a test file in
// days with t = 1 takes the reference time as one day.
#pragma once

#include "models/family.hpp"
#include "models/stress_call.hpp"

namespace soilcal::models::soft_soil {

struct CreepParams {
  double mu = 0.0;       // mu*, modified creep index
  double tau = 1.0;      // reference time t
  double beta = 0.0;     // (lambda* - kappa*) / mu*
  double lk = 0.0;       // lambda* - kappa*
  double K = 0.0, G = 0.0, nu = 0.0, M = 1.0;
  double shift = 0.0;    // c cot(phi) added to p in the ellipse's denominator
  double floor = 1.0;    // stress floor
  bool debug = false;
};

struct CreepResult {
  Vec6 sig{};            // stress after the creep step (tension positive)
  double pc = 0.0;       // creep preconsolidation pressure at the end
  double peq = 0.0;      // equivalent pressure of the result ("Pa1")
  double lambda = 0.0;   // volumetric creep strain of the step (compression positive)
  int rounds = 0;        // Newton rounds spent, over all sub-steps
};

// Creep parameters of a set (slots 31, 48, 49, 50) for a point with shear
// modulus G and strength values SPhi, CoheSi.
CreepParams MakeCreepParams(const PropSoil& prop, const ModelConstants& k, double G,
                            double SPhi, double CoheSi);

// Integrates the creep of one time increment dT with strain increment dEps
// from stress sigStart and preconsolidation pressure pcStart. A sub-step
// whose Newton iteration fails in 25 rounds is split into 0.1, 0.3 and 0.6 of
// itself, at most 9 levels deep. Returns false when the splitting is
// exhausted (the result then holds the last iterate).
bool CrpSubStep(const CreepParams& cp, const Vec6& sigStart, const Vec6& dEps, double dT,
                double pcStart, int level, CreepResult& out);

// The creep step of MatSig for model 8: corrects call.sigE in place for the
// creep strain of call.dTime, copies it to call.sigC, writes the new pc to
// call.pms.pc and the equivalent pressure and accumulated creep strain to
// the model state. Returns the equivalent pressure of the result.
double CrpSig(StressCall& call);

// Init_Crp: the creep state of a point from its initial stress and its
// pre-consolidation stress (OCR, POP): pc is the larger of the equivalent
// pressures of the initial stress and of the K0nc state whose major stress
// is the pre-consolidation stress. Returns an error count.
int InitCrp(PointInitCall& call);

// Stiffness for the step solver: the elastic matrix of G and nu scaled by
// K_creep/K, K_creep being the bulk stiffness that includes the creep
// compliance of the step at the start-of-step stress,
// 1/K_creep = 1/K + (lambda* - kappa*) X / ((1 + X) p_eq).
void CreepTangent(ElasticCall& call);

}  // namespace soilcal::models::soft_soil
