#include "models/soft_soil/parameters.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::models::soft_soil {
namespace {

using services::Diag;

// Parameter error of set `iSet`: logged, then the message box ends the run.
[[noreturn]] void StopWithSetError(const char* text, int iSet) {
  const std::string msg = services::FillIntegerPlaceholder(text, iSet);
  if (Diag().on()) Diag().Error(msg);
  services::KernelErrorWithTexts(msg, "");
}

// Elastic shear modulus for K = p / kappa*: G = 1.5 (1-2nu)/(1+nu) p / kappa*.
double ShearFromKappa(double nu, double p, double kappaStar) {
  return 3.0 * (1.0 - 2.0 * nu) / (2.0 * (1.0 + nu)) * p / kappaStar;
}

// Slots 34, 35 and 1 shared by the soft-soil and the creep completion.
void CompleteStiffness(PropSoil& prop, const ModelConstants& k) {
  if (prop[34] < 1e-30) prop[34] = 1.0;
  if (prop[35] < 1e-30) prop[35] = k.refPressure;
  if (prop[1] < 1e-30 && prop[38] > 1e-30) prop[1] = ShearFromKappa(prop[2], prop[35], prop[38]);
}

// Models 4 and 5: kappa = (1 + e0) kappa* with e0 from the initial porosity.
void CompleteSoftSoil(PropSoil& prop, const ModelConstants& k) {
  CompleteStiffness(prop, k);
  const double n0 = prop[20];
  const double e0 = n0 / (1.0 - n0);
  prop[40] = (1.0 + e0) * prop[38];
}

// Model 8: lambda* - kappa*, mu*/t and (lambda* - kappa*)/mu* (mu* = slot 40,
// t = slot 42 in the test file's time unit, 1 when not given).
void CompleteCreep(int iSet, PropSoil& prop, const ModelConstants& k) {
  CompleteStiffness(prop, k);
  const double kappa = prop[38], lambda = prop[39], mu = prop[40];
  const double t = prop[42] < 1e-8 ? 1.0 : prop[42];
  const bool ok = kappa >= 9.99e-9 && lambda >= 9.99e-9;
  if (!ok && Diag().on()) {
    const double values[] = {lambda, kappa};
    Diag().Line("WARNING: Lambda, kappa:", values);
    Diag().Line(" too small");
  }
  prop[48] = lambda - kappa;
  prop[50] = (lambda - kappa) / mu;
  prop[49] = mu / t;
  if (!ok) StopWithSetError("%I_lambda_or_kappa~0", iSet);
}

}  // namespace

double MFromK0nc(double K0nc, double nu, double r) {
  const double a = (1.0 - K0nc) / (1.0 + 2.0 * K0nc);
  const double num = (1.0 - 2.0 * nu) * (1.0 - K0nc) * (r - 1.0);
  const double den = (1.0 + 2.0 * K0nc) * (1.0 - 2.0 * nu) * r - (1.0 - K0nc) * (1.0 + nu);
  const double arg = a * a + num / den;
  if (!(arg >= 0.0) || !std::isfinite(arg)) return std::nan("");
  return 3.0 * std::sqrt(arg);
}

void CopySoilPropForModel(int model, int iSet, PropSoil& prop, const ModelConstants& k) {
  const bool noM = prop[31] < 1e-10;
  switch (model) {
    case 4:
      if (noM) StopWithSetError("Material set %I, soft-soil model with M=0", iSet);
      CompleteSoftSoil(prop, k);
      break;
    case 5:
      if (noM) StopWithSetError("Material set %I, MCC model with M=0", iSet);
      CompleteSoftSoil(prop, k);
      break;
    case 8:
      if (noM) StopWithSetError("Material set %I, soft-soil creep model with M=0", iSet);
      CompleteCreep(iSet, prop, k);
      break;
    default:
      break;
  }
}

int PerTestCompletionForModel(int model, PropSoil& prop, const ModelConstants&,
                              const ModelResources&) {
  const double nu = prop[2], kappa = prop[38], lambda = prop[39], pref = prop[35];
  const double ratio = lambda / kappa;
  prop[32] = ratio;
  prop[1] = ShearFromKappa(nu, pref, kappa);
  if (model == 4 || model == 8) {
    const double M = MFromK0nc(prop[37], nu, ratio);
    if (std::isfinite(M) && M > 0.0) {
      prop[31] = M;
    } else if (Diag().on()) {
      Diag().Line("M from K0nc has no real value; M kept:", prop[31]);
    }
  }
  return 0;
}

double CohesionShift(const PropSoil& prop) {
  const double s = prop[3], c = prop[4];
  if (s <= 1e-10 || c <= 0.0) return 0.0;
  const double shift = c * std::sqrt(std::max(0.0, 1.0 - s * s)) / s;
  return shift < 1e9 ? shift : 0.0;
}

double SoftSoilShearModulus(const PropSoil& prop, double p) {
  const double pref = prop[35];
  const double shift = CohesionShift(prop);
  const double pStar = std::max({p + shift, shift, pref / 100.0});
  return prop[1] * std::pow(pStar / pref, prop[34]);
}

double CamClayShearModulus(const PropSoil& prop, double voidRatio, double p) {
  const double nu = prop[2];
  const double pStar = std::max(p, prop[35] / 100.0);
  const double kappa = prop[40];
  const double K = (1.0 + std::max(0.0, voidRatio)) * pStar / kappa;
  return 1.5 * K * (1.0 - 2.0 * nu) / (1.0 + nu);
}

double GenMatShearModulus(const GenMatCall& call) {
  const PropSoil& prop = *call.prop;
  const double p = -(call.stress[0] + call.stress[1] + call.stress[2]) / 3.0;
  switch (call.model) {
    case 4:
      return SoftSoilShearModulus(prop, p);
    case 5: {
      if (!call.updateMode) return prop[1] * std::max(p, prop[35] / 100.0) / prop[35];
      if (call.voidRatio >= 0.0) return CamClayShearModulus(prop, call.voidRatio, p);
      // Porosity follows the volumetric strain (expansion positive).
      const double n0 = prop[20];
      const double n = (n0 + call.epsV) / (1.0 + call.epsV);
      return CamClayShearModulus(prop, n / (1.0 - n), p);
    }
    case 8: {
      const double pref = std::max(prop[35], 1.0);
      const double c = std::max(0.0, prop[4] + prop[7] * std::max(0.0, prop[6] - call.y));
      const double s = prop[3];
      double shift = 0.0;
      if (s > 0.0) shift = c * std::sqrt(std::max(0.0, 1.0 - s * s)) / s;
      if (!(shift < 1e9)) shift = 0.0;
      const double pStar = std::max(p + shift, pref / 100.0);
      if (prop[38] > 1e-8) return ShearFromKappa(prop[2], pStar, prop[38]);
      return prop[1] * pStar / pref;
    }
    default:
      return prop[1];
  }
}

}  // namespace soilcal::models::soft_soil
