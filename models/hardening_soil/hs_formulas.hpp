// Closed-form relations of the Hardening Soil models that the program and
// the cap-parameter library both use. Header-only and free of the rest of
// the program, so that the library (a separate shared object) can include it.
//
// Stresses are compression-positive here: s1 >= s2 >= s3, p their mean.
#pragma once

#include <algorithm>
#include <cmath>

namespace soilcal::models::hs {

// Stress factor of every stiffness of the model:
// ((s3 sin(phi) + c cos(phi)) / (pref sin(phi) + c cos(phi)))^m, each bracket
// at least pref/100 so that a stress at or beyond the apex keeps a stiffness.
inline double StiffnessFactor(double s3, double sinPhi, double cCosPhi, double pref, double m) {
  const double floor = pref / 100.0;
  const double num = std::max(floor, s3 * sinPhi + cCosPhi);
  const double den = std::max(floor, pref * sinPhi + cCosPhi);
  return std::pow(num / den, m);
}

// Failure deviator of a compressed triaxial state with minor stress s3:
// q_f = 2 (s3 sin(phi) + c cos(phi)) / (1 - sin(phi)).
inline double FailureDeviator(double s3, double sinPhi, double cCosPhi) {
  return 2.0 * (s3 * sinPhi + cCosPhi) / (1.0 - sinPhi);
}

// Plastic shear strain of the hyperbolic hardening law at deviator q:
// (2/E_i) q / (1 - q/q_a) - 2 q / E_ur. Only meaningful for q < q_a.
inline double HyperbolaGamma(double q, double qa, double Ei, double Eur) {
  return 2.0 / Ei * q / (1.0 - q / qa) - 2.0 * q / Eur;
}

// Ratio of the cap's isotropic stiffnesses for E_ur and nu: the bulk modulus.
inline double BulkModulus(double Eur, double nu) { return Eur / (3.0 * (1.0 - 2.0 * nu)); }

// Shape number delta of the deviatoric cap measure: (3 + sin phi)/(3 - sin phi).
inline double CapDelta(double sinPhi) { return (3.0 + sinPhi) / (3.0 - sinPhi); }

// Size of the cap through a stress with mean p and cap deviator qt:
// sqrt(p^2 + (qt/alpha)^2), with p taken as at least 0 (the cap closes the
// compression side only).
inline double CapRadius(double p, double qt, double alpha2) {
  const double pp = std::max(p, 0.0);
  return std::sqrt(pp * pp + qt * qt / alpha2);
}

}  // namespace soilcal::models::hs
