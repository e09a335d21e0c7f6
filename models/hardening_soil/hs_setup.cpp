// Set-up of a Hardening Soil set and point: the checks of CopySoilProp, the
// cap parameters before each test, the shear modulus of GenMat, the start of
// the hardening state and the elastic stiffness of the step solver.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "models/hardening_soil/hs_formulas.hpp"
#include "models/hardening_soil/hs_model.hpp"
#include "models/hardening_soil/hs_small_strain.hpp"
#include "models/principal.hpp"
#include "services/diag.hpp"

namespace soilcal::models::hs {
namespace {

double Pref(const PropSoil& prop, const ModelConstants* k) {
  if (prop[kSlotPref] > 0.0) return prop[kSlotPref];
  return k ? k->refPressure : 100.0;
}

double CosPhi(double sinPhi) { return std::sqrt(std::max(0.0, 1.0 - sinPhi * sinPhi)); }

// Cohesion of a point at vertical coordinate y (c_ref plus its increment
// with depth below the reference level).
double Cohesion(const PropSoil& prop, double y) {
  return std::max(0.0, prop[kSlotCref] + prop[7] * std::max(0.0, prop[6] - y));
}

double K0ncOf(const PropSoil& prop) {
  return prop[kSlotK0nc] < 0.0 ? 1.0 - prop[kSlotSinPhi] : prop[kSlotK0nc];
}

struct Candidates {
  double pc = 0.0;
  double gammaP = 0.0;
};

// pc and gamma_p that put the surfaces through a compression-positive state.
Candidates StateCandidates(const P3& s, const PropSoil& prop, double cCosPhi, double pref) {
  const double sinPhi = prop[kSlotSinPhi];
  const double nu = prop[kSlotNu];
  const double delta = CapDelta(sinPhi);
  const double alpha = prop[kSlotAlpha] != 0.0 ? prop[kSlotAlpha] : 1.0;
  Candidates c;
  const double p = (s[0] + s[1] + s[2]) / 3.0;
  const double pStar = std::max({p, pref / 100.0, 0.0});
  const double qt = s[0] + (delta - 1.0) * s[1] - delta * s[2];
  c.pc = std::max(std::sqrt((qt / alpha) * (qt / alpha) + pStar * pStar), pref / 100.0);

  const double s3 = std::max(s[2], pref / 10000.0);
  const double factor = StiffnessFactor(s3, sinPhi, cCosPhi, pref, prop[kSlotPowerM]);
  const double Ei = 2.0 * prop[kSlotGiRef] * factor * (1.0 + nu);
  const double Eur = 2.0 * prop[kSlotGref] * factor * (1.0 + nu);
  const double qf = FailureDeviator(s3, sinPhi, cCosPhi);
  const double rf = prop[kSlotRf] > 0.0 ? prop[kSlotRf] : 0.9;
  const double qa = qf / rf;
  const double q = std::sqrt(0.5 * ((s[0] - s[1]) * (s[0] - s[1]) + (s[1] - s[2]) * (s[1] - s[2]) +
                                    (s[2] - s[0]) * (s[2] - s[0])));
  if (q != 0.0 && q <= 0.25 * (3.0 * qf + qa) && Ei > 0.0 && Eur > 0.0) {
    c.gammaP = std::max(HyperbolaGamma(q, qa, Ei, Eur), 1e-8);
  }
  return c;
}

}  // namespace

void CopySoilProp(int, PropSoil& prop, const ModelConstants& k) {
  if (prop[kSlotSinPhi] < 1e-10) prop[kSlotPowerM] = 0.0;
  // The reference pressure of a stress-dependent model defaults to 100 kPa.
  if (prop[kSlotPref] < 1e-30) prop[kSlotPref] = k.refPressure;
}

int PerTestCompletion(PropSoil& prop, const ModelConstants&, const ModelResources& res) {
  const double nu = prop[kSlotNu];
  const double rf = prop[kSlotRf];
  const double eurRef = 2.0 * prop[kSlotGref] * (1.0 + nu);
  const double sinPhi = std::clamp(prop[kSlotSinPhi], -1.0, 1.0);
  const double phiDeg = std::asin(sinPhi) * 180.0 / std::numbers::pi;
  const double k0 = K0ncOf(prop);
  if (phiDeg < 1e-6) {
    prop[kSlotAlpha] = 1.0;
    prop[kSlotKsKc] = 1.0;
    prop[kSlotGiRef] = prop[kSlotE50Ref] / ((2.0 - rf) * (1.0 + nu));
    return 0;
  }
  if (!res.capItr) {
    if (services::Diag().on()) services::Diag().Line("HS_CapItr is not loaded");
    return 2;
  }
  double work = -1.0, alpha = -1.0, ksKc = -1.0, giRef = -1.0, extra = -1.0;
  int status = -999;
  res.capItr(prop[kSlotE50Ref], eurRef, nu, &work, prop[kSlotPref], rf, prop[kSlotPowerM], k0,
             prop[kSlotEoedRef], &alpha, &ksKc, &giRef, &extra, &work, &status);
  if (status != 0) {
    if (services::Diag().on()) services::Diag().Line("HS_CapItr status", status);
    return 2;
  }
  const double gref = prop[kSlotGref], eoed = prop[kSlotEoedRef], e50 = prop[kSlotE50Ref];
  prop[kSlotAlpha] = alpha;
  prop[kSlotKsKc] = ksKc;
  prop[kSlotGiRef] = giRef;
  prop[kSlotK0nc] = k0;
  prop[kSlotGref] = gref;
  prop[kSlotEoedRef] = eoed;
  prop[kSlotE50Ref] = e50;
  return 0;
}

double GenMatShearModulus(const GenMatCall& call) {
  const PropSoil& prop = *call.prop;
  const double sinPhi = prop[kSlotSinPhi];
  const double cCosPhi = Cohesion(prop, call.y) * CosPhi(sinPhi);
  double sigma;
  if (call.meanStressForm) {
    sigma = -MeanStress(call.stress);
  } else {
    sigma = -PrincipalStresses(call.stress).s[2];
  }
  const double pref = Pref(prop, call.k);
  return prop[kSlotGref] *
         StiffnessFactor(std::max(0.0, sigma), sinPhi, cCosPhi, pref, prop[kSlotPowerM]);
}

int InitPoint(PointInitCall& call) {
  if (!call.prop || !call.pms) return 0;
  const PropSoil& prop = *call.prop;
  const double pref = Pref(prop, call.k);
  const double cCosPhi = Cohesion(prop, 0.0) * CosPhi(prop[kSlotSinPhi]);
  const Principal pr = PrincipalStresses(call.initialStress);
  const P3 s{-pr.s[0], -pr.s[1], -pr.s[2]};
  Candidates c = StateCandidates(s, prop, cCosPhi, pref);
  // The pre-consolidation state (sigma_pc, K0nc sigma_pc, K0nc sigma_pc)
  // counts when it lies beyond the initial stress, i.e. when OCR or POP
  // overconsolidate the point: an isotropically consolidated sample with
  // OCR = 1 has not been along the K0nc line and starts on the hyperbola.
  const double sPre = -call.preconsolidation;
  if (sPre > 1e-10 && sPre > s[0] * (1.0 + 1e-10)) {
    const double k0 = K0ncOf(prop);
    const Candidates cp = StateCandidates({sPre, k0 * sPre, k0 * sPre}, prop, cCosPhi, pref);
    c.pc = std::max(c.pc, cp.pc);
    c.gammaP = std::max(c.gammaP, cp.gammaP);
  }
  PointMatState& pms = *call.pms;
  if (pms.pc < 0.0) pms.pc = 0.0;
  if (pms.v5 < 0.0) pms.v5 = 0.0;
  pms.pc = std::max(pms.pc, c.pc);
  pms.v5 = std::max({pms.v5, c.gammaP, 1e-10});
  // The small-strain history starts from zero at the initial stress (the
  // init call's stVar already points at the model's own state).
  if (call.model == 19 && call.stVar && call.nStat >= kSmallStrainVars) {
    for (int i = 0; i < kSmallStrainVars; ++i) call.stVar[i] = 0.0;
  }
  return 0;
}

void ElasticMatrix(ElasticCall& call) {
  const PropSoil& prop = call.set->prop;
  const double nu = prop[kSlotNu];
  double G = call.pms ? call.pms->G : 0.0;
  if (call.model == 19) {
    // The tangent of the strain history, but not below two thirds of G0:
    // the step solver iterates with this matrix held constant, a reversal
    // of the strain path answers with G0, and a matrix softer than half the
    // response would make that iteration diverge.
    const double gamma = call.stVar0 && call.nStat >= kSmallStrainVars
                             ? call.stVar0[kModelStateOffset + kHistGamma]
                             : 0.0;
    const SmallStrainParams sp =
        SmallStrainOf(G, prop[kSlotGref], prop[kSlotG0Ref], prop[kSlotGamma07]);
    G = std::max(SmallStrainTangent(gamma, sp), 2.0 / 3.0 * sp.G0);
  }
  call.D = IsotropicElasticMatrix(G, nu);
  call.G = G;
}

}  // namespace soilcal::models::hs
