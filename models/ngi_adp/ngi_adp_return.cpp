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

// New hardening variable xi' in [xi, 1) that zeroes the linearised yield
// function g = F - A (xi' - xi)/rate - B (kappa(xi') - kappa), given
// g(xi) = F > 0 > g(1). Solved for u = sqrt(xi'), in which both xi' = u^2
// and kappa = 2u/(1 + u^2) are smooth up to the peak (kappa(xi) itself has
// infinite slope at 0, xi(kappa) at 1); g decreases in u. Newton with a
// bisection guard.
double SolveXi(double F, double A, double B, double rate, double kappa, double xi) {
  double lo = std::sqrt(xi), hi = 1.0, u = lo;
  for (int it = 0; it < 100; ++it) {
    const double u2 = u * u;
    const double gu = F - A * (u2 - xi) / rate - B * (2.0 * u / (1.0 + u2) - kappa);
    (gu > 0.0 ? lo : hi) = u;
    if (std::fabs(gu) <= 1e-14 * (std::fabs(F) + B) || hi - lo < 1e-16) break;
    const double slope = -2.0 * A * u / rate - B * 2.0 * (1.0 - u2) / ((1.0 + u2) * (1.0 + u2));
    double next = u - gu / slope;
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    u = next;
  }
  return u * u;
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
    // Inside the surface without any hardening left to undo: admissible.
    if (std::fabs(s.F) <= tolF || (s.F < 0.0 && xi <= xi0)) {
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
        dLambda = (SolveXi(s.F, A, B, rate, kappa, xi) - xi) / rate;
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
