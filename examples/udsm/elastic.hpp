// Isotropic linear elasticity for the example user models.
#pragma once

#include <array>

namespace usermod {

struct Elasticity {
  double E = 0.0;
  double nu = 0.0;
  double G() const { return E / (2.0 * (1.0 + nu)); }
  double K() const { return E / (3.0 * (1.0 - 2.0 * nu)); }
  double Lambda() const { return E * nu / ((1.0 + nu) * (1.0 - 2.0 * nu)); }
  bool Valid() const { return E > 0.0 && nu > -1.0 && nu < 0.5; }
};

// sig0 + D dEps, written out: lambda tr(eps) on the normal components plus
// 2G eps, and G gamma on the shear components.
inline std::array<double, 6> ElasticTrial(const Elasticity& e, const double* sig0,
                                          const double* dEps) {
  const double g = e.G();
  const double lambdaEv = e.Lambda() * (dEps[0] + dEps[1] + dEps[2]);
  return {sig0[0] + lambdaEv + 2.0 * g * dEps[0], sig0[1] + lambdaEv + 2.0 * g * dEps[1],
          sig0[2] + lambdaEv + 2.0 * g * dEps[2], sig0[3] + g * dEps[3],
          sig0[4] + g * dEps[4],                  sig0[5] + g * dEps[5]};
}

}  // namespace usermod
