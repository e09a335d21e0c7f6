// The Hardening Soil stress routine of one point and iteration (models 6 and
// 19): principal stresses of the trial, the values of the call, the start of
// the hardening state, the returns, the return code and the elastic
// follow-up.
#include <algorithm>
#include <cmath>
#include <span>

#include "models/hardening_soil/hs_formulas.hpp"
#include "models/hardening_soil/hs_model.hpp"
#include "models/hardening_soil/hs_small_strain.hpp"
#include "models/principal.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"

namespace soilcal::models::hs {
namespace {

using services::Diag;

double ReferencePressure(const PropSoil& prop, const ModelConstants* k) {
  if (prop[kSlotPref] > 0.0) return prop[kSlotPref];
  return k ? k->refPressure : 100.0;
}

P3 CompressionPositive(const Principal& pr) { return {-pr.s[0], -pr.s[1], -pr.s[2]}; }

// Model 19 without a cap ratio asked for a routine this program does not
// carry: it ends like the dispatcher's default case.
void RemovedSubroutine(StressCall& call) {
  if (Diag().on()) {
    Diag().Line("DC_Sig removed subroutine");
    Diag().Line("Default case in getsig !!!???", call.model);
  }
  services::ShowMessageBox("MatSig", " Sorry, this version has a limitation on the material models");
  call.iAbort = 246;
}

// First step: the hardening state is raised to pass through the stress at
// the start of the step, so that a test starting from a deviatoric state is
// not plastic from its first increment.
void InitialiseFromStart(const StressCall& call, const Material& m, Hardening& st) {
  const P3 s0 = CompressionPositive(PrincipalStresses(call.sig0));
  const ShearValue fe = Shear(s0, kModeGeneral, m);
  if (!fe.beyond && fe.f > st.gammaP - 1e-10) {
    st.gammaP = fe.f + 1e-10;
    if (Diag().on() && call.debug) Diag().Line("GamP0=", st.gammaP);
  }
  if (m.H > 0.0) st.pc = std::max(st.pc, CapSize(s0, kModeGeneral, m));
}

// iArea in its order of overriding: cap 3, cap with hardening 4, hardening
// 5, failure 1, tension or apex 2.
int ReturnCode(const PointReturn& r, const Hardening& start, const Material& m) {
  int iArea = 0;
  const bool capHardened = r.state.pc - start.pc > 0.0;
  if (capHardened) iArea = 3;
  if (r.state.gammaP - start.gammaP > 0.0) iArea = capHardened ? 4 : 5;
  if (m.mcFailure && std::fabs(Fmc(r.sig, m)) < 0.001 * m.stressFloor) iArea = 1;
  if (r.tension || r.apex) iArea = 2;
  return iArea;
}

double TauMax(const P3& s, double cCosPhi, double pref, const StressCall& call) {
  const double half = 0.5 * (s[0] - s[2]);
  if (half <= -1e-6 && Diag().on()) {
    Diag().Line(" TAUMAX IS NEGATIVE !DC!", std::span<const double>(s.data(), 3));
    Diag().Line("IntGlo", call.intGlo);
  }
  const double p = (s[0] + s[1] + s[2]) / 3.0;
  return std::max({half, cCosPhi, pref / 200.0, 0.03 * std::fabs(p)});
}

// The order check and, with the debug switch, the cap state of the point.
void ReportPoint(const StressCall& call, const PointReturn& ret, const Material& m) {
  const P3& s = ret.sig;
  if (s[2] - 0.01 > s[1] || s[1] - 0.01 > s[0]) {
    Diag().Line("UNSORTED:", std::span<const double>(s.data(), 3));
    Diag().Line("IntGlo", call.intGlo);
  }
  if (call.debug && m.H > 0.0) {
    const double p = (s[0] + s[1] + s[2]) / 3.0;
    const double qt = CapDeviator(s, ret.mode, m.delta);
    const double vals[4] = {p, qt, ret.state.pc, CapSize(s, ret.mode, m) - ret.state.pc};
    Diag().Line("p,q,pc,f", std::span<const double>(vals, 4));
  }
}

void WriteSmallStrainState(StressCall& call, const SmallStrainStep& ss) {
  if (!call.stVar || call.nStat < kSmallStrainVars) return;
  double* h = call.stVar + kModelStateOffset;
  for (int i = 0; i < 6; ++i) h[kHistStrain + i] = ss.hist[i];
  h[kHistGamma] = ss.gamma;
  h[kHistTangent] = ss.Gtan;
}

}  // namespace

Material DeriveMaterial(const StressCall& call, double Gur, double Gel) {
  const PropSoil& prop = *call.prop;
  Material m;
  m.nu = call.nu;
  m.G = Gel;
  m.bulk = 2.0 * Gel * (1.0 + m.nu) / (3.0 * (1.0 - 2.0 * m.nu));
  m.Eur = 2.0 * Gur * (1.0 + m.nu);
  const bool ratioGiven = prop[kSlotGiRef] > 0.0 && prop[kSlotGref] > 0.0;
  m.Ei = m.Eur * (ratioGiven ? prop[kSlotGiRef] / prop[kSlotGref] : 1.0);
  const double kur = BulkModulus(m.Eur, m.nu);
  const double ksKc = call.model == 19 ? prop[kSlotKsKc] : std::max(1.0, prop[kSlotKsKc]);
  m.H = ksKc > 1.000001 ? kur / (ksKc - 1.0) : -kur;
  m.sinPhi = call.SPhi;
  m.cCosPhi = call.CoheSi;
  m.cCotPhi = m.sinPhi > 0.0 ? m.cCosPhi / m.sinPhi : 1e10;
  m.rf = prop[kSlotRf] > 0.0 ? std::min(prop[kSlotRf], 1.0) : 0.9;
  m.delta = CapDelta(m.sinPhi);
  const double alpha = prop[kSlotAlpha];
  m.alpha2 = alpha * alpha > 1e-20 ? alpha * alpha : 1.0;
  m.sigT = m.sinPhi > 0.0 ? std::max(-0.99999999 * m.cCotPhi, -call.Tens) : -call.Tens;
  // FailureCriterion of model 19: 0 Mohr-Coulomb failure as model 6; 1 the
  // hyperbola alone limits the shear stress (towards q_a), with the tension
  // cut-off kept.
  m.mcFailure = call.model != 19 || prop[kSlotFailureCriterion] < 0.5;
  m.stressFloor = call.k ? call.k->stressFloor : 1.0;
  return m;
}

double StressDependentG(const PropSoil& prop, double sigma3c, double cCosPhi,
                        double prefDefault) {
  const double pref = prop[kSlotPref] > 0.0 ? prop[kSlotPref] : prefDefault;
  return prop[kSlotGref] * StiffnessFactor(std::max(0.0, sigma3c), prop[kSlotSinPhi], cCosPhi,
                                           pref, prop[kSlotPowerM]);
}

void Stress(StressCall& call, ModelResources&) {
  const PropSoil& prop = *call.prop;
  if (call.model == 19 && prop[kSlotKsKc] <= 0.1) {
    RemovedSubroutine(call);
    return;
  }
  const double Gur = call.G > 0.0 ? call.G : call.pms0.G;
  Vec6 trialVec = call.sigE;
  double Gel = Gur;
  SmallStrainStep ss;
  if (call.model == 19) {
    // The elastic trial of model 19 takes the secant modulus of the strain
    // history over the increment.
    const SmallStrainParams sp =
        SmallStrainOf(Gur, prop[kSlotGref], prop[kSlotG0Ref], prop[kSlotGamma07]);
    ss = AdvanceSmallStrain(call.stVar0 ? call.stVar0 + kModelStateOffset : nullptr, call.dEps,
                            sp);
    Gel = ss.Gsec;
    const Vec6 dsig = MatVec(IsotropicElasticMatrix(Gel, call.nu), call.dEps);
    for (int i = 0; i < 6; ++i) trialVec[i] = call.sig0[i] + dsig[i];
  }
  const Principal pr = PrincipalStresses(trialVec);
  const P3 trial = CompressionPositive(pr);
  Material m = DeriveMaterial(call, Gur, Gel);
  m.sinPsiM =
      MobilisedDilatancy(trial, m.sinPhi, call.SPsi, m.cCotPhi, m.H > 0.0, call.dilatancyCutOff);

  Hardening start{call.pms0.v5, call.pms0.pc};
  if (call.step <= 1) InitialiseFromStart(call, m, start);

  const PointReturn ret = ReturnStress(trial, m, start);
  call.iArea = ReturnCode(ret, start, m);
  call.tension = ret.tension;
  call.apex = ret.apex;
  call.capFlag = ret.capReturn;
  if (Diag().on()) ReportPoint(call, ret, m);
  const P3& s = ret.sig;
  call.sigC = s == trial ? trialVec : RebuildStress({-s[0], -s[1], -s[2]}, pr.dir);
  call.tauMax = TauMax(s, m.cCosPhi, ReferencePressure(prop, call.k), call);
  call.pms.v5 = ret.state.gammaP;
  call.pms.pc = ret.state.pc;

  // Elastic follow-up: the point's modulus follows the returned stress, so
  // the next step starts from the stiffness of the stress it reached (the
  // driver's GenMat before each step gives the same value).
  if (call.iArea == 0) {
    call.pms.G = StressDependentG(prop, s[2], m.cCosPhi, call.k ? call.k->refPressure : 100.0);
  }
  if (call.model == 19) WriteSmallStrainState(call, ss);
}

}  // namespace soilcal::models::hs
