#include "models/model_rules.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "models/setup.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::models {
namespace {

using services::Diag;

// Parameter error of a set: "%I" of `text` becomes the set number; the
// message box ends the run.
[[noreturn]] void SetError(const char* text, int iSet) {
  std::string msg(text);
  if (const auto pos = msg.find("%I"); pos != std::string::npos) {
    msg.replace(pos, 2, std::to_string(iSet));
  }
  if (Diag().on()) Diag().Error(msg);
  services::KernelErrorWithTexts(msg, "");
}

// Model 10: Poisson's ratio from the shape value, strength from the sum of
// slots 38 and 39, shear modulus from the stiffness ratio when not given.
void CopyModel10(int, PropSoil& p, const ModelConstants& k) {
  const double x = p[34];
  p[2] = (3.0 - x) / (6.0 + x);
  p[30] = 23.0;
  p[4] = 0.1;
  p[29] = k.refPressure;
  const double m = p[38] + p[39];
  p[3] = 3.0 * m / (2.0 * std::sqrt(6.0) + m);
  if (p[1] < 1e-30 && p[32] != 0.0) {
    const double r = p[33] / p[32];
    const double nu = p[2];
    if (r > 1e-30) p[1] = 1.5 * k.refPressure * (1.0 - 2.0 * nu) / ((1.0 + nu) * r);
  }
}

// Jointed rock (18): the second Poisson's ratio must keep the plane stiffness
// positive definite.
void CopyJointedRock(int iSet, PropSoil& p, const ModelConstants&) {
  const double nu = p[2];
  const double e1 = 2.0 * p[1] * (1.0 + nu);
  if (!(p[33] < std::sqrt(p[32] * (1.0 - nu) / (2.0 * e1)))) {
    SetError("%I_JR:_nu2_too_large", iSet);
  }
}

double LinearG(const GenMatCall& c) { return LinearShearModulus(*c.prop, c.y); }

double Model10G(const GenMatCall& c) {
  const PropSoil& p = *c.prop;
  const double pStar = std::max(-MeanStress(c.stress), 1.0);
  return 0.5 * p[34] * std::max(pStar, 0.001) * p[32] / p[33];
}

double ConcreteG(const GenMatCall& c) {
  const PropSoil& p = *c.prop;
  return p[201] / (2.0 * (1.0 + p[202]));
}

constexpr ModelRules kRules[] = {
    {.model = 10, .copySoilProp = CopyModel10, .genMatShearModulus = Model10G},
    {.model = 14, .genMatShearModulus = LinearG},
    {.model = 18, .copySoilProp = CopyJointedRock},
    {.model = 33, .genMatShearModulus = ConcreteG},
};

}  // namespace

const ModelRules* FindModelRules(int model) {
  for (const ModelRules& r : kRules) {
    if (r.model == model) return &r;
  }
  return nullptr;
}

bool AcceptedByCopySoilProp(int model) {
  if (model >= 0 && model <= 6) return true;
  if (model >= 21 && model <= 35) return true;
  return model == 8 || model == 10 || model == 12 || model == 15 || model == 18 || model == 19;
}

}  // namespace soilcal::models
