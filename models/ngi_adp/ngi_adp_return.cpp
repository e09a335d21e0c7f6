// Stress return of the NGI-ADP model: cutting-plane iterations (Ortiz and
// Simo 1986) on the hardening surface. Each iteration linearises F in the
// stress and in the mobilisation kappa and solves for the new kappa
// exactly along the hardening law, so that the infinite slope of kappa(xi)
// at xi = 0 causes no trouble: the plastic multiplier follows from kappa.
// With isotropic elasticity and a deviatoric flow direction n the stress
// correction is D n = (2G n_normal, G n_shear), independent of Poisson's
// ratio: the mean total stress stays that of the trial state.
#include <algorithm>
#include <cmath>

#include "models/ngi_adp/ngi_adp.hpp"

namespace soilcal::models::ngi_adp {
namespace {

constexpr int kMaxIterations = 200;
constexpr double kRelTolerance = 1e-10;

// dxi/dkappa of the hardening law at xi < 1.
double XiSlope(double xi) {
  const double s = std::sqrt(xi);
  return s * (1.0 + xi) * (1.0 + xi) / (1.0 - xi);
}

// New mobilisation kappa' in [kappa, 1) that zeroes the linearised yield
// function g(k) = F - A (xi(k) - xi)/rate - B (k - kappa), given g(kappa) = F
// > 0 > g(1). g is concave and decreasing: Newton from the left side may
// pass the root once, then it converges from the right; bisection guards it.
double SolveKappa(double F, double A, double B, double rate, double kappa, double xi) {
  auto g = [&](double k) { return F - A * (XiOfKappa(k) - xi) / rate - B * (k - kappa); };
  double lo = kappa, hi = 1.0, k = kappa;
  for (int it = 0; it < 100; ++it) {
    const double gk = g(k);
    (gk > 0.0 ? lo : hi) = k;
    if (std::fabs(gk) <= 1e-14 * (std::fabs(F) + B) || hi - lo < 1e-16) break;
    const double slope = -A * XiSlope(XiOfKappa(k)) / rate - B;
    double next = k - gk / slope;
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    k = next;
  }
  return k;
}

}  // namespace

Return NgiAdpReturn(const Params& p, const Vec6& sigE, double xi0, double gammaP0) {
  Return r;
  r.sig = sigE;
  r.xi = xi0;
  r.gammaP = gammaP0;
  const double tolF = kRelTolerance * p.radius;
  double kappa = Kappa(xi0);
  if (Evaluate(p, sigE, kappa, false).F <= tolF) return r;

  double xi = xi0;
  for (int it = 0; it < kMaxIterations; ++it) {
    const Surface s = Evaluate(p, r.sig, kappa, true);
    if (std::fabs(s.F) <= tolF) {
      r.xi = xi;
      r.iArea = xi >= 1.0 ? 1 : 5;
      return r;
    }
    const Vec6 dn = {2.0 * p.G * s.n[0], 2.0 * p.G * s.n[1], 2.0 * p.G * s.n[2],
                     p.G * s.n[3],       p.G * s.n[4],       p.G * s.n[5]};
    const double A = Dot(s.n, dn);
    const double rate = s.peak > 0.0 && s.gammaRate > 0.0 ? s.gammaRate / s.peak : 0.0;
    if (!(A > 0.0) || !(rate > 0.0)) break;
    // The centre may move against the stress; the surface still grows.
    const double B = std::max(-s.dFdKappa, 0.1 * p.radius);
    double dLambda;
    if (xi >= 1.0) {
      dLambda = s.F / A;
    } else if (s.F < 0.0) {
      // Overshoot of a previous iteration: step back along the tangent.
      const double dKappa = (1.0 - xi) / (std::sqrt(xi) * (1.0 + xi) * (1.0 + xi)) * rate;
      dLambda = std::max(s.F / (A + B * dKappa), (xi0 - xi) / rate);
    } else {
      const double g1 = s.F - A * (1.0 - xi) / rate - B * (1.0 - kappa);
      if (g1 >= 0.0) {
        dLambda = (1.0 - xi) / rate + g1 / A;
      } else {
        dLambda = (XiOfKappa(SolveKappa(s.F, A, B, rate, kappa, xi)) - xi) / rate;
      }
    }
    for (int i = 0; i < 6; ++i) r.sig[i] -= dLambda * dn[i];
    r.gammaP += dLambda * s.gammaRate;
    xi = std::max(xi0, xi + dLambda * rate);
    kappa = Kappa(xi);
  }
  r.failed = true;
  return r;
}

}  // namespace soilcal::models::ngi_adp
