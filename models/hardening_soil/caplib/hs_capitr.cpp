// HS_CapItr: cap parameters of the Hardening Soil models from the
// oedometric stiffness EOedRef and the normal-compression ratio K0nc.
//
// Method. On the normal compression line a one-dimensional compression moves
// the stress self-similarly, s_h = K s_v (compression positive, K = K0nc),
// with no lateral strain. Both plastic mechanisms are active there:
//   * shear hardening keeps f = 0 on the hyperbola, so per unit increase of
//     s_v its multiplier is l_s = d gamma_p / d s_v = d fbar / d s_v, with
//     fbar(s_v) = (2/E_i) q/(1 - q/q_a) - 2q/E_ur evaluated on the line
//     (q = (1 - K) s_v, stiffnesses with the stress factor of s_h); the flow
//     on the triaxial edge is b = (1/2, -1/4, -1/4): the mobilised friction
//     on the line, sin(phi_m) = sin(phi)/(2 - sin(phi)), is below 0.75
//     sin(phi) for phi < 41.8 degrees, so the dilatancy is zero;
//   * the cap fc = qt^2/alpha^2 + p^2 - pc^2 with associated flow
//     l_c (2p/3 (1,1,1) + 2 qt/alpha^2 (1, -1/2, -1/2)); pc grows with
//     H times the plastic volumetric strain 2 p l_c, and on the line
//     pc is proportional to s_v, so l_c = (pc/s_v) / (2 p H).
// With e1, e2 the elastic vertical and lateral strain rates, the two
// conditions at s_v = pref are
//   lateral:  e2 + l_s b2 + l_c (2p/3 - qt/alpha^2)  = 0        (eps_h = 0)
//   vertical: e1 + l_s b1 + l_c (2p/3 + 2 qt/alpha^2) = 1/Eoed   (tangent Eoed)
// They are linear in X = l_c and in X/alpha^2: twice the first plus the
// second gives X = (1/Eoed - e1 - 2 e2 - l_s (b1 + 2 b2)) / (2p), the normal
// of the cap at the K0nc state fixes alpha from the first, and
// H = (pc/s_v)/(2pX) gives Ks/Kc = 1 + K_ur/H (K_ur the bulk modulus of E_ur
// at that state). No solution exists when X <= 0 (EOedRef too large for the
// elastic and shear parts: the oedometer would be stiffer without the cap)
// or when 1/alpha^2 <= 0; the status then says so and nothing is written.
//
// The routine is not told the friction angle and takes it from Jaky's
// relation sin(phi) = 1 - K0nc, with no cohesion, for the shear part.
// G_i,ref follows from E50ref and Rf: E_i = 2 E50/(2 - Rf), G_i = E_i/(2(1 + nu)).
#include <cmath>

#include "models/hardening_soil/hs_formulas.hpp"

namespace {

namespace hs = soilcal::models::hs;

constexpr int kOk = 0;
constexpr int kBadInput = 1;
constexpr int kEoedTooLarge = 2;
constexpr int kNoCapShape = 3;

struct Line {
  double k, sinPhi, pref, m, rf, e50, eur;
};

// Plastic shear strain of the hyperbola on the normal compression line.
double GammaOnLine(double sv, const Line& l) {
  const double sh = l.k * sv;
  const double f = hs::StiffnessFactor(sh, l.sinPhi, 0.0, l.pref, l.m);
  const double ei = 2.0 * l.e50 / (2.0 - l.rf) * f;
  const double eur = l.eur * f;
  const double q = (1.0 - l.k) * sv;
  const double qa = hs::FailureDeviator(sh, l.sinPhi, 0.0) / l.rf;
  return hs::HyperbolaGamma(q, qa, ei, eur);
}

int CapParameters(double e50, double eur, double nu, double pref, double rf, double m, double k0,
                  double eoed, double& alpha, double& ksKc, double& giRef, double& pcRatio) {
  const bool valid = e50 > 0.0 && eur > 0.0 && nu > -1.0 && nu < 0.5 && pref > 0.0 &&
                     rf > 0.0 && rf <= 1.0 && k0 > 0.0 && k0 < 1.0 && eoed > 0.0 && m >= 0.0;
  if (!valid) return kBadInput;
  const Line l{k0, 1.0 - k0, pref, m, rf, e50, eur};
  const double sv = pref;
  const double factor = hs::StiffnessFactor(k0 * sv, l.sinPhi, 0.0, pref, m);
  const double eurS = eur * factor;

  const double q = (1.0 - k0) * sv;
  const double qa = hs::FailureDeviator(k0 * sv, l.sinPhi, 0.0) / rf;
  if (!(q < 0.999 * qa)) return kBadInput;
  const double h = 1e-6 * sv;
  const double ls = std::fmax(0.0, (GammaOnLine(sv + h, l) - GammaOnLine(sv - h, l)) / (2.0 * h));
  const double b1 = 0.5, b2 = -0.25;

  const double e1 = (1.0 - 2.0 * nu * k0) / eurS;
  const double e2 = (k0 - nu * (1.0 + k0)) / eurS;
  const double p = sv * (1.0 + 2.0 * k0) / 3.0;
  const double qt = q;
  const double r1 = 1.0 / eoed - e1 - ls * b1;
  const double r2 = -e2 - ls * b2;
  const double x = (2.0 * r2 + r1) / (2.0 * p);
  if (!(x > 0.0)) return kEoedTooLarge;
  const double u = (r1 - 2.0 * p * x / 3.0) / (2.0 * qt * x);
  if (!(u > 0.0) || !std::isfinite(u)) return kNoCapShape;

  alpha = 1.0 / std::sqrt(u);
  pcRatio = std::sqrt((p / sv) * (p / sv) + (qt / sv) * (qt / sv) * u);
  const double H = pcRatio / (2.0 * p * x);
  ksKc = 1.0 + hs::BulkModulus(eurS, nu) / H;
  giRef = 2.0 * e50 / (2.0 - rf) / (2.0 * (1.0 + nu));
  return kOk;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void HS_CapItr(
    double e50, double eur, double nu, double* work, double pref, double rf, double m,
    double k0nc, double eoed, double* alpha, double* ksKc, double* giref, double* extra,
    double* work2, int* status) {
  double a = 0.0, r = 0.0, g = 0.0, pcRatio = 0.0;
  const int st = CapParameters(e50, eur, nu, pref, rf, m, k0nc, eoed, a, r, g, pcRatio);
  if (status) *status = st;
  if (st != kOk) return;
  if (alpha) *alpha = a;
  if (ksKc) *ksKc = r;
  if (giref) *giref = g;
  if (extra) *extra = pcRatio;  // pc / s_v on the normal compression line
  if (work) *work = 0.0;
  if (work2) *work2 = 0.0;
}
