// Stress invariants of the soft-soil family in the soil-mechanics sign
// convention: p and q compression-positive, the deviator kept in the
// tension-positive components of the stress vector so that a returned stress
// is rebuilt as (scaled deviator) - p * I.
#pragma once

#include <cmath>

#include "models/tensor.hpp"

namespace soilcal::models::soft_soil {

struct PQ {
  double p = 0.0;  // -(sxx + syy + szz) / 3
  double q = 0.0;  // sqrt(1.5 s:s) with the shear terms counted twice
  Vec6 s{};        // deviator (tension positive): sigma + p I
};

inline PQ Invariants(const Vec6& sig) {
  PQ r;
  r.p = -(sig[0] + sig[1] + sig[2]) / 3.0;
  r.s = sig;
  for (int i = 0; i < 3; ++i) r.s[i] += r.p;
  const double ss = r.s[0] * r.s[0] + r.s[1] * r.s[1] + r.s[2] * r.s[2];
  const double tt = r.s[3] * r.s[3] + r.s[4] * r.s[4] + r.s[5] * r.s[5];
  r.q = std::sqrt(1.5 * ss + 3.0 * tt);
  return r;
}

// Stress with deviator `s` scaled by `factor` and compressive mean stress p.
inline Vec6 Rebuild(const Vec6& s, double factor, double p) {
  Vec6 sig{};
  for (int i = 0; i < 6; ++i) sig[i] = factor * s[i];
  for (int i = 0; i < 3; ++i) sig[i] -= p;
  return sig;
}

// Bulk modulus from G and nu.
inline double BulkModulus(double G, double nu) {
  return 2.0 * G * (1.0 + nu) / (3.0 * (1.0 - 2.0 * nu));
}

// Stress after an elastic strain increment (engineering shear strains) with
// bulk modulus K and shear modulus G.
inline Vec6 ElasticTrial(const Vec6& sig, const Vec6& dEps, double K, double G) {
  const double lame = K - 2.0 * G / 3.0;
  const double ev = dEps[0] + dEps[1] + dEps[2];
  Vec6 out = sig;
  for (int i = 0; i < 3; ++i) out[i] += lame * ev + 2.0 * G * dEps[i];
  for (int i = 3; i < 6; ++i) out[i] += G * dEps[i];
  return out;
}

// Equivalent (isotropic) pressure of the ellipse through (p, q):
// p_eq = p + q^2 / (M^2 (p + shift)); `floor` when p is not positive.
inline double EquivalentPressure(double p, double q, double M, double shift, double floor) {
  if (p <= 0.0) return floor;
  return p + q * q / (M * M * (p + shift));
}

}  // namespace soilcal::models::soft_soil
