// Small-strain stiffness of model 19: a shear modulus that decays with the
// shear strain since the last reversal of the strain path,
//   G_s = G0 / (1 + 0.385 gamma / gamma_0.7)        (secant)
//   G_t = G0 / (1 + 0.385 gamma / gamma_0.7)^2      (tangent, at least G_ur)
// with G0 = G0ref x the stress factor of the point and G_ur the point's
// unloading-reloading modulus. Below the strain where the tangent reaches
// G_ur the curve goes on with slope G_ur.
//
// State kept from kModelStateOffset of the point's state vectors:
//   0..5  deviatoric strain since the last reversal (engineering shears)
//   6     gamma_hist, its shear strain measure (major minus minor principal)
//   7     tangent modulus at gamma_hist (for information; the stiffness is
//         recomputed from gamma_hist with the point's current moduli)
#pragma once

#include "models/tensor.hpp"

namespace soilcal::models::hs {

inline constexpr int kSmallStrainVars = 10;
inline constexpr int kHistStrain = 0;
inline constexpr int kHistGamma = 6;
inline constexpr int kHistTangent = 7;

struct SmallStrainParams {
  double G0 = 0.0;       // very-small-strain modulus of the point
  double Gur = 0.0;      // unloading-reloading modulus of the point (lower bound)
  double gamma07 = 0.0;  // shear strain at which G_s = 0.722 G0
};

// Parameters of a point from its current G_ur and the set's slots 1, 49, 50.
SmallStrainParams SmallStrainOf(double Gur, double gref, double g0ref, double gamma07);
// Shear stress along the curve at shear strain gamma (tau = G_s gamma).
double SmallStrainTau(double gamma, const SmallStrainParams& p);
double SmallStrainTangent(double gamma, const SmallStrainParams& p);
// Shear strain measure of a deviatoric strain vector: major minus minor
// principal strain (gamma of simple shear, eps1 - eps3 of a triaxial test).
double ShearStrainMeasure(const Vec6& e);

struct SmallStrainStep {
  Vec6 hist{};        // deviatoric strain since reversal at the end of the step
  double gamma = 0.0; // its measure
  double Gsec = 0.0;  // secant modulus of the step along the curve
  double Gtan = 0.0;  // tangent at the end of the step
  bool reversed = false;
};

// Advances the history by the strain increment: a reversal (increment
// against the strain since the last reversal) restarts it from zero.
SmallStrainStep AdvanceSmallStrain(const double* hist0, const Vec6& dEps,
                                   const SmallStrainParams& p);

}  // namespace soilcal::models::hs
