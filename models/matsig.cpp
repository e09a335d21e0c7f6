// MatSig: one model call for one stress point. Forms the elastic trial
// stress and the reference stress SigEQ, routes the point to its family's
// stress routine, counts the outcome and checks the local accuracy.
#include "models/matsig.hpp"

#include <algorithm>
#include <cmath>

#include "models/matsig_parts.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using services::Diag;

// Entries 0-4, 7 and 8 of the record come from the start of the step; the
// hardening values 5 and 6 from the end vector, where an earlier iteration of
// the same step may already have moved them.
PointMatState LoadRecord(const PointMatState& start, const double* end) {
  PointMatState pms = start;
  pms.v5 = end[5];
  pms.pc = end[6];
  return pms;
}

// Effective elastic matrix: the family's own, or the caller's. Returns the
// family's abort code.
int EffectiveStiffness(const StressPointView& v, ModelResources& res, const PointMatState& pms,
                       Mat6& D) {
  const ModelFamily& family = *v.family;
  if (family.elasticMatrix == nullptr) {
    // Row by row: one block copy of the whole matrix compiles to a slow
    // string move on this size.
    const Mat6& src = *v.D;
    for (int i = 0; i < 6; ++i) D[i] = src[i];
    return 0;
  }
  ElasticCall ec;
  ec.set = v.set;
  ec.k = v.k;
  ec.model = v.model;
  ec.mode = 3;
  ec.checkWord = 804;
  ec.pms = &pms;
  ec.stVar0 = v.stVar0;
  ec.nStat = v.nStat;
  ec.sig0 = *v.sig0;
  ec.eps = *v.eps;
  ec.swp0 = v.swp0;
  ec.time = v.time;
  ec.dTime = v.dTime;
  ec.step = v.step;
  ec.iter = v.iter;
  ec.resources = &res;
  family.elasticMatrix(ec);
  D = ec.D;
  return ec.iAbort;
}

// SigEQ: the trial stress in the first iteration; later the previous
// iteration's stress moved elastically by the change of the strain increment
// (scaled back by the caller's relaxation factor omega).
Vec6 ReferenceStress(const MatSigInput& in, const Mat6& D, const Vec6& sigE) {
  if (in.iter <= 1) return sigE;
  Vec6 change{};
  for (int i = 0; i < 6; ++i) change[i] = in.dEps[i] - in.dEpsPrev[i];
  const Vec6 dSig = MatVec(D, change);
  Vec6 sigEQ{};
  for (int i = 0; i < 6; ++i) sigEQ[i] = in.sigPrev[i] + dSig[i] / in.iterFactor;
  return sigEQ;
}

// Work of the dispatcher for the Hardening Soil models: the dilatancy
// cut-off flag from the current porosity and the cap values.
void PrepareHardeningSoil(const StressPointView& v, StressCall& call) {
  const PropSoil& p = v.set->prop;
  const double ev = v.epsV;
  const double n = (p[20] + ev) / (1.0 + ev);
  call.dilatancyCutOff = n > p[22] || n < p[21];
  call.capAlpha = p[31];
  call.ksKc = v.model == 6 ? std::max(1.0, p[32]) : p[32];
}

// Shear stress scale of the accuracy check for the user, concrete and sand
// models: |p|/10 + q/2 of the returned stress, at least the stress floor.
double InvariantTauMax(const Vec6& s, double stressFloor) {
  const double dxy = s[0] - s[1], dyz = s[1] - s[2], dzx = s[2] - s[0];
  const double q = std::sqrt(0.5 * (dxy * dxy + dyz * dyz + dzx * dzx) +
                             3.0 * (s[3] * s[3] + s[4] * s[4] + s[5] * s[5]));
  return std::max(stressFloor, std::fabs(MeanStress(s)) / 10.0 + 0.5 * q);
}

bool UsesInvariantTauMax(int model) {
  return model >= 21 && model <= 34 && model != 31 && model != 32;
}

void FillCall(const StressPointView& v, const PointMatState& pms0, const PointMatState& pms,
              StressCall& call) {
  const PropSoil& prop = v.set->prop;
  call.model = v.model;
  call.modelCode = v.set->modelCode;
  call.iSet = v.iSet;
  call.intGlo = v.intGlo;
  call.prop = &prop;
  call.k = v.k;
  call.sig0 = *v.sig0;
  call.dEps = *v.dEps;
  // Lab-test mode: no strength reduction, sin(phi) is the record's entry 2.
  call.SPhi = pms.SPhi;
  call.Tens = prop[16];
  call.SPsi = std::min(prop[5], call.SPhi);
  call.CoheSi = pms.CoheSi;
  call.G = pms.G;
  call.nu = prop[2];
  call.epsV = v.epsV;
  call.voidRatio = v.voidRatio;
  call.time = v.time;
  call.dTime = v.dTime;
  call.step = v.step;
  call.iter = v.iter;
  call.tol = v.tol;
  call.pms0 = pms0;
  call.pms = pms;
  call.stVar0 = v.stVar0;
  call.stVar = v.stVar;
  call.nStat = v.nStat;
}

// Pore pressure at the end of the step. An undrained set (drainage type 2)
// builds excess pore pressure from the volumetric strain increment with the
// water bulk value of the record; this is how the program settles the pore
// pressure left open for other control settings: drained sets and the other
// variants hand the start value back unchanged.
double EndPorePressure(const StressPointView& v, const PointMatState& pms) {
  if (v.set->DrainageType() != 2) return v.swp0;
  return v.swp0 + pms.waterBulk * VolumetricStrain(*v.dEps);
}

// Everything before the model's routine: the call filled from the point,
// the effective stiffness, the elastic trial stress (also the reference
// stress until the caller sets one) and the pore pressure. Returns the
// abort code of the stiffness; `dsigE` receives the elastic stress change.
int BeginCall(const StressPointView& v, ModelResources& res, const PointMatState& pms0,
              const PointMatState& pms, StressCall& call, services::KernelMessageTexts& texts,
              Vec6& dsigE) {
  FillCall(v, pms0, pms, call);
  call.texts = &texts;
  const int abort = EffectiveStiffness(v, res, pms, call.D);
  if (abort != 0) return abort;
  dsigE = MatVec(call.D, *v.dEps);
  for (int i = 0; i < 6; ++i) call.sigE[i] = (*v.sig0)[i] + dsigE[i];
  call.referenceStress = false;
  call.sigEQ = call.sigE;
  call.sigC = call.sigE;
  call.tension = false;
  call.apex = false;
  call.capFlag = false;
  call.iArea = 0;
  call.iAbort = 0;
  call.tauMax = 1.0;
  call.swp0 = v.swp0;
  call.swp = EndPorePressure(v, pms);
  // The record may come from an earlier call (a reused one).
  call.debug = false;
  call.dilatancyCutOff = false;
  call.capAlpha = 0.0;
  call.ksKc = 0.0;
  if (v.model == 6 || v.model == 19) PrepareHardeningSoil(v, call);
  return 0;
}

// After the model's routine: a bounded sin(phi) goes into the record, and
// the invariant stress scale of the models that use it.
void FinishCall(const StressPointView& v, const PointMatState& pms, StressCall& call) {
  // sin(phi) is the record's entry 2; a routine that bounds it bounds the record.
  if (call.SPhi != pms.SPhi) call.pms.SPhi = call.SPhi;
  if (UsesInvariantTauMax(v.model)) {
    const double floor = v.k ? v.k->stressFloor : ModelConstants{}.stressFloor;
    call.tauMax = InvariantTauMax(call.sigC, floor);
  }
}

StressPointView ViewOf(const MatSigInput& in, const ModelFamily* family) {
  StressPointView v;
  v.model = in.model;
  v.set = in.set;
  v.iSet = in.iSet;
  v.intGlo = in.intGlo;
  v.k = in.k;
  v.family = family;
  v.D = in.stiffness != nullptr ? in.stiffness : &in.D;
  v.dEps = &in.dEps;
  v.sig0 = &in.sig0;
  v.eps = &in.eps;
  v.epsV = in.epsV;
  v.voidRatio = in.voidRatio;
  v.stVar0 = in.stVar0;
  v.stVar = in.stVar;
  v.nStat = in.nStat;
  v.tol = in.tol;
  v.iter = in.iter;
  v.step = in.step;
  v.time = in.time;
  v.dTime = in.dTime;
  v.swp0 = in.swp0;
  return v;
}

// One stress call from the point's records to the stored end state: the
// call filled, the family's routine, the outcome counted. `checks` (the full
// dispatcher's input; null on the lean path) adds what only the diagnostics
// read: the debug flag and the reference stress handed to the routine, the
// debug dumps. Returns the abort code.
int RunStressCall(const StressPointView& v, ModelResources& res, StressCall& call,
                  MatSigCounters& counters, services::KernelMessageTexts& texts,
                  const MatSigInput* checks) {
  PointMatState pms0;
  pms0.Load(v.stVar0 + kPointMatStatePos);
  const PointMatState pms = LoadRecord(pms0, v.stVar + kPointMatStatePos);
  Vec6 dsigE;
  if (const int abort = BeginCall(v, res, pms0, pms, call, texts, dsigE); abort != 0) return abort;
  if (checks != nullptr) {
    call.debug = checks->debug;
    if (checks->accuracyCheck) {
      call.referenceStress = true;
      call.sigEQ = ReferenceStress(*checks, call.D, call.sigE);
    }
  }

  if (v.family->stress) v.family->stress(call, res);
  if (call.iAbort != 0) return call.iAbort;
  FinishCall(v, pms, call);

  const bool debug = checks != nullptr && checks->debug && Diag().on();
  if (debug && udsm::IsUserModel(v.model)) matsig::DumpStresses(call);
  if (debug && v.model == 111) matsig::DumpElasticTestPoint(call, *v.dEps, dsigE);
  if (debug) Diag().Line("A TauMax : ", call.tauMax);
  matsig::CountOutcome(call, counters);
  if (debug) Diag().Line("D TauMax : ", call.tauMax);
  call.pms.Store(v.stVar + kPointMatStatePos);
  return 0;
}

}  // namespace

void MatSig(const MatSigInput& in, ModelResources& res, MatSigOutput& out,
            MatSigCounters& counters, services::KernelMessageTexts& texts) {
  out.iAbort = 0;
  const ModelFamily* family = in.family != nullptr ? in.family : FindModelFamily(in.model);
  if (family == nullptr) {
    if (!matsig::HasEffectiveStiffness(in.model) && Diag().on()) {
      Diag().Line("Invalid model in effectiveDMatrix,:", in.model);
    }
    matsig::DefaultCase(in.model, out);
    return;
  }

  StressCall call{StressCall::StiffnessFilledLater{}};
  out.iAbort = RunStressCall(ViewOf(in, family), res, call, counters, texts, &in);
  if (out.iAbort != 0) return;
  for (int i = 0; i < 6; ++i) out.sigEminusC[i] = call.sigE[i] - call.sigC[i];
  if (in.accuracyCheck) matsig::CheckAccuracy(in, call, counters);
  out.sigC = call.sigC;
  out.iArea = call.iArea;
  out.swp = call.swp;
}

void MatSigLean(const StressPointView& v, ModelResources& res, StressCall& call,
                MatSigCounters& counters, services::KernelMessageTexts& texts) {
  call.iAbort = RunStressCall(v, res, call, counters, texts, nullptr);
}

}  // namespace soilcal::models
