// Yield surface of the NGI-ADP model:
//   F = sqrt(H(omega) J2(t)) - kappa (s_u^A + s_u^P)/2
// with t the deviatoric stress shifted by the centre alpha(kappa), a
// triaxial deviator along y moving from the initial shear stress tau0
// (kappa = 0) to (s_u^A - s_u^P)/2 (kappa = 1), and the shear stresses on
// horizontal planes (xy, yz) weighted by radius/s_u^DSS so that simple
// shear peaks at s_u^DSS. H(omega) = cos^2(acos(1 - 2 a1 omega)/6),
// omega = 27 J3^2/(4 J2^3), makes the section Tresca-like (a1 = 1 is
// Tresca); the compression side has its own a1 for s_u^C,TX.
// (Grimstad, Andresen and Jostad 2012.)
#include <algorithm>
#include <cmath>

#include "models/ngi_adp/ngi_adp.hpp"

namespace soilcal::models::ngi_adp {
namespace {

struct Shifted {
  double t[6];
  double dAlphaDKappa;  // shear stress of the centre's motion: tauC - tau0
};

// Shifted deviatoric stress; the centre is the triaxial deviator with
// (sigma_x - sigma_y)/2 = tauA: alpha = (2/3) tauA (1, -2, 1).
Shifted Shift(const Params& p, const Vec6& s, double kappa) {
  Shifted r;
  const double m = MeanStress(s);
  const double tauA = (1.0 - kappa) * p.tau0 + kappa * p.tauC;
  const double a = (2.0 / 3.0) * tauA;
  r.t[0] = s[0] - m - a;
  r.t[1] = s[1] - m + 2.0 * a;
  r.t[2] = s[2] - m - a;
  r.t[3] = p.shearScale * s[3];
  r.t[4] = p.shearScale * s[4];
  r.t[5] = s[5];
  r.dAlphaDKappa = p.tauC - p.tau0;
  return r;
}

double Det(const double* t) {
  return t[0] * t[1] * t[2] + 2.0 * t[3] * t[4] * t[5] - t[0] * t[4] * t[4] -
         t[1] * t[5] * t[5] - t[2] * t[3] * t[3];
}

// Maximum minus minimum principal value of the strain tensor whose vector
// (engineering shear) is n, n deviatoric: 2 sqrt(J2) cos(theta).
double ShearRange(const Vec6& n) {
  const double e[6] = {n[0], n[1], n[2], 0.5 * n[3], 0.5 * n[4], 0.5 * n[5]};
  const double j2 = 0.5 * (e[0] * e[0] + e[1] * e[1] + e[2] * e[2]) + e[3] * e[3] +
                    e[4] * e[4] + e[5] * e[5];
  if (j2 <= 0.0) return 0.0;
  const double s3 = std::clamp(-2.598076211353316 * Det(e) / (j2 * std::sqrt(j2)), -1.0, 1.0);
  return 2.0 * std::sqrt(j2) * std::cos(std::asin(s3) / 3.0);
}

}  // namespace

Surface Evaluate(const Params& p, const Vec6& sig, double kappa, bool withGradient) {
  Surface out;
  const Shifted sh = Shift(p, sig, kappa);
  const double* t = sh.t;
  const double j2 = 0.5 * (t[0] * t[0] + t[1] * t[1] + t[2] * t[2]) + t[3] * t[3] +
                    t[4] * t[4] + t[5] * t[5];
  const double scale2 = p.radius * p.radius;
  if (j2 <= 1e-28 * scale2) {
    out.F = -kappa * p.radius;
    out.dFdKappa = -p.radius;
    out.peak = p.gpfDSS;
    return out;
  }
  const double j3 = Det(t);
  const double omega = std::clamp(6.75 * j3 * j3 / (j2 * j2 * j2), 0.0, 1.0);
  const bool compression = j3 < 0.0;
  const double a1 = compression ? p.a1C : p.a1E;
  const double x = 1.0 - 2.0 * a1 * omega;
  const double phi = std::acos(std::clamp(x, -1.0, 1.0)) / 6.0;
  const double cphi = std::cos(phi);
  const double H = cphi * cphi;
  out.f = std::sqrt(H * j2);
  out.F = out.f - kappa * p.radius;
  out.peak = p.gpfDSS + ((compression ? p.gpfC : p.gpfE) - p.gpfDSS) * omega;
  if (!withGradient) return out;

  // dH/domega = -sin(2 phi) a1 / (3 sqrt(1 - x^2)); its limit at omega = 0
  // is -a1/9.
  const double w = 1.0 - x * x;
  const double dH = w > 1e-12 ? -std::sin(2.0 * phi) * a1 / (3.0 * std::sqrt(w)) : -a1 / 9.0;
  const double dJ2[6] = {t[0], t[1], t[2], 2.0 * t[3], 2.0 * t[4], 2.0 * t[5]};
  const double dJ3[6] = {t[1] * t[2] - t[4] * t[4], t[0] * t[2] - t[5] * t[5],
                         t[0] * t[1] - t[3] * t[3], 2.0 * (t[4] * t[5] - t[2] * t[3]),
                         2.0 * (t[3] * t[5] - t[0] * t[4]), 2.0 * (t[3] * t[4] - t[1] * t[5])};
  const double j2cube = j2 * j2 * j2;
  const double c1 = 6.75 * 2.0 * j3 / j2cube;
  const double c2 = 6.75 * 3.0 * j3 * j3 / (j2cube * j2);
  double g[6];
  for (int i = 0; i < 6; ++i) {
    const double dOmega = c1 * dJ3[i] - c2 * dJ2[i];
    g[i] = (H * dJ2[i] + j2 * dH * dOmega) / (2.0 * out.f);
  }
  const double gm = (g[0] + g[1] + g[2]) / 3.0;
  out.n = {g[0] - gm, g[1] - gm, g[2] - gm, p.shearScale * g[3], p.shearScale * g[4], g[5]};
  // The centre moves by (2/3) dAlpha (1, -2, 1) per unit kappa.
  out.dFdKappa = -(2.0 / 3.0) * sh.dAlphaDKappa * (g[0] - 2.0 * g[1] + g[2]) - p.radius;
  out.gammaRate = ShearRange(out.n);
  return out;
}

double InitialKappa(const Params& p, const Vec6& sig) {
  // h(kappa) = F(sig, kappa) is convex in kappa: one root once h(0) > 0 >= h(1).
  if (Evaluate(p, sig, 0.0, false).F <= 0.0) return 0.0;
  if (Evaluate(p, sig, 1.0, false).F > 0.0) return 1.0;
  double lo = 0.0, hi = 1.0;
  for (int it = 0; it < 60 && hi - lo > 1e-15; ++it) {
    const double mid = 0.5 * (lo + hi);
    (Evaluate(p, sig, mid, false).F > 0.0 ? lo : hi) = mid;
  }
  return hi;
}

}  // namespace soilcal::models::ngi_adp
