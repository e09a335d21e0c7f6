// GenMat: shear modulus and strength values of a stress point at the start of
// a test (and before every step for stress-dependent models).
#include <algorithm>
#include <cmath>

#include "models/model_rules.hpp"
#include "models/setup.hpp"
#include "services/diag.hpp"

namespace soilcal::models {

double CohesionAtDepth(const PropSoil& prop, double y) {
  return std::max(0.0, prop[4] + prop[7] * std::max(0.0, prop[6] - y));
}

double LinearShearModulus(const PropSoil& prop, double y) {
  const double gRef = prop[1];
  if (gRef < 0.0) return std::fabs(gRef) * CohesionAtDepth(prop, y);
  return std::max(0.001 * gRef, gRef + prop[19] * std::max(0.0, prop[6] - y));
}

void GenMat(const GenMatCall& call, PointMatState& pms) {
  const PropSoil& prop = *call.prop;
  const double sinPhi = prop[3];
  const double cosPhi = std::sqrt(std::max(0.0, 1.0 - sinPhi * sinPhi));
  pms.SPhi = sinPhi;
  pms.CoheSi = CohesionAtDepth(prop, call.y) * cosPhi;
  pms.CCotPhi = sinPhi > 0.0 ? pms.CoheSi / sinPhi : 1e10;

  const ModelFamily* family = FindModelFamily(call.model);
  if (family && family->genMatShearModulus) {
    pms.G = family->genMatShearModulus(call);
    return;
  }
  const ModelRules* rules = FindModelRules(call.model);
  if (rules && rules->genMatShearModulus) {
    pms.G = rules->genMatShearModulus(call);
    return;
  }
  if (services::Diag().on()) {
    services::Diag().Line("Untreated model GenMat !! ", call.model);
    services::Diag().Error("Untreated model in GenMat");
    services::Diag().Error("Material Model not available");
  }
  // A regular stiffness keeps the step solver going until MatSig refuses the
  // model with its own message.
  pms.G = LinearShearModulus(prop, call.y);
}

}  // namespace soilcal::models
