// The NGI-ADP family: models 12 and 35 (the same model), undrained clay.
// Its elastic stiffness is the set's isotropic matrix of G and nu: an
// undrained set (drainage type 2) adds the pore-water stiffness from nu_u
// and so keeps the volume constant; a set with nu close to 0.5 behaves
// nearly so in total stresses.
#include <algorithm>
#include <cmath>

#include "models/family.hpp"
#include "models/ngi_adp/ngi_adp.hpp"
#include "models/setup.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using services::Diag;
namespace na = ngi_adp;

constexpr int kModels[] = {12, 35};

// Stiffness and strength from the undrained shear strength; no tension
// cut-off. Slots 42 and 43 keep nu and nu_u for the model.
void CopySoilProp(int, PropSoil& p, const ModelConstants&) {
  p[1] = p[4] * p[31];
  p[19] = p[31] * p[7];
  p[3] = 0.0;
  p[42] = p[2];
  p[43] = p[28];
  p[16] = 1e10;
}

// Strength ratios to s_u^A from the strengths given at the reference depth.
int PerTestCompletion(PropSoil& p, const ModelConstants&, const ModelResources&) {
  if (p[33] != 0.0) p[36] = p[33] / p[4];
  if (p[34] != 0.0) p[37] = p[34] / p[4];
  return 0;
}

// G = (G_ur/s_u^A) * s_u^A at the point.
double ShearModulus(const GenMatCall& call) {
  const PropSoil& p = *call.prop;
  const double cosPhi = std::sqrt(std::max(0.0, 1.0 - p[3] * p[3]));
  return p[31] * CohesionAtDepth(p, call.y) * cosPhi;
}

// Checks of the point constants; returns the number of errors.
int CheckParams(const na::Params& c) {
  int errors = 0;
  if (!(c.suA > 0.0 && c.suP > 0.0 && c.suDSS > 0.0 && c.G > 0.0)) {
    if (Diag().on()) {
      Diag().Line("NGI-ADP: s_u^A, s_u^P, s_u^DSS and G must be positive, s_u^A = ", c.suA);
      Diag().Error("NGI-ADP strengths not positive");
    }
    return 1;
  }
  if (!(c.a1 >= 0.0 && c.a1 <= 1.0)) {
    if (Diag().on()) {
      Diag().Line("bad value for a1, a1 = ", c.a1);
      Diag().Error("Bad value for a1");
    }
    ++errors;
  }
  // Each peak strain must lie beyond the elastic strain of its test; the
  // margin keeps the hardening rate finite.
  constexpr double kMinPeakPlasticStrain = 1e-6;
  if (!(std::min({c.gpfC, c.gpfE, c.gpfDSS}) >= kMinPeakPlasticStrain)) {
    if (Diag().on()) Diag().Error("2:peak plastic shear strain is too low");
    ++errors;
  }
  return errors;
}

// Init_NGIADP: checks the constants of the point and sets the hardening
// state so that the initial stress lies on (or inside) the yield surface.
int InitPoint(PointInitCall& call) {
  const na::Params c = na::MakeParams(*call.prop, call.pms->CoheSi, call.pms->G);
  const int errors = CheckParams(c);
  if (errors != 0) return errors;
  if (call.stVar != nullptr && call.nStat >= na::kStateVars) {
    call.stVar[na::kXi] = na::XiOfKappa(na::InitialKappa(c, call.initialStress));
    call.stVar[na::kGammaP] = 0.0;
  }
  return 0;
}

// NGIADP_Sig with the dispatcher's work for models 12 and 35: abort 247 on
// failure, TauMax from the strength of the point.
void Stress(StressCall& call, ModelResources&) {
  const double floor = call.k ? call.k->stressFloor : ModelConstants{}.stressFloor;
  call.tauMax = std::max(floor, call.CoheSi);
  const na::Params c = na::MakeParams(*call.prop, call.CoheSi, call.G);
  const double* s0 = call.stVar0 ? call.stVar0 + kModelStateOffset : nullptr;
  const double xi0 = s0 ? s0[na::kXi] : 0.0;
  const double gammaP0 = s0 ? s0[na::kGammaP] : 0.0;
  const na::Return r = na::NgiAdpReturn(c, call.sigE, xi0, gammaP0);
  if (r.failed) {
    if (Diag().on()) Diag().Line("iAbort<>0 from : NGIADP_Sig");
    if (call.texts) {
      call.texts->main = "iAbort<>0 from : NGIADP_Sig";
      call.texts->second.clear();
    }
    call.iAbort = 247;
    return;
  }
  call.sigC = r.sig;
  call.iArea = r.iArea;
  // Newly plastic: elastic at the reference stress (from the second
  // iteration on; in the first it is the trial stress itself).
  if (r.iArea != 0 && call.sigEQ != call.sigE &&
      na::Evaluate(c, call.sigEQ, na::Kappa(xi0), false).F <= 0.0) {
    call.iArea = -r.iArea;
  }
  if (call.stVar != nullptr && call.nStat >= na::kStateVars) {
    call.stVar[kModelStateOffset + na::kXi] = r.xi;
    call.stVar[kModelStateOffset + na::kGammaP] = r.gammaP;
  }
}

}  // namespace

const ModelFamily& NgiAdpFamily() {
  static const ModelFamily family{
      .name = "ngi_adp",
      .models = kModels,
      .minStateVars = na::kStateVars,
      .copySoilProp = CopySoilProp,
      .perTestCompletion = PerTestCompletion,
      .genMatShearModulus = ShearModulus,
      .initPoint = InitPoint,
      .stress = Stress,
  };
  return family;
}

}  // namespace soilcal::models
