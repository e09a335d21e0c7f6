#include "rate.hpp"

#include <algorithm>
#include <cmath>

namespace hypoplastic {
namespace {

// Shift of the stress by p_t: the equations see T - p_t 1, a compression
// larger by p_t (a small cohesion that keeps zero stress inside the domain).
Sym Shifted(const Parameters& p, const Sym& T) { return T - p.pt * Identity(); }

// Factor F of the Matsuoka-Nakai surface (von Wolffersdorff 1996, the
// definition of F beside the constitutive equation):
//   F = sqrt(tan^2 psi / 8 + (2 - tan^2 psi) / (2 + sqrt2 tan psi cos 3theta))
//       - tan psi / (2 sqrt2),
//   tan psi = sqrt3 ||T^*||,  cos 3theta = -sqrt6 tr(T^*3) / [tr(T^*2)]^(3/2),
// with T^* the deviator of the stress ratio T^ = T / tr T.
double FactorF(const Sym& devRatio) {
  const double tanPsi = std::sqrt(3.0) * Norm(devRatio);
  if (tanPsi < 1e-12) return 1.0;
  const Eigen::Matrix3d d = Full(devRatio);
  const double j2 = (d * d).trace();
  const double j3 = (d * d * d).trace();
  const double cos3theta = std::clamp(-std::sqrt(6.0) * j3 / std::pow(j2, 1.5), -1.0, 1.0);
  const double t2 = tanPsi * tanPsi;
  const double root = t2 / 8.0 + (2.0 - t2) / (2.0 + std::sqrt(2.0) * tanPsi * cos3theta);
  return std::sqrt(std::max(root, 0.0)) - tanPsi / (2.0 * std::sqrt(2.0));
}

// Density factor fd = ((e - ed) / (ec - ed))^alpha (von Wolffersdorff 1996,
// the pyknotropy factors), zero below ed.
double DensityFactor(const Parameters& p, double e, const LimitVoidRatios& l) {
  const double r = (e - l.ed) / (l.ec - l.ed);
  return r > 0.0 ? std::pow(r, p.alpha) : 0.0;
}

}  // namespace

LimitVoidRatios LimitsAt(const Parameters& p, double meanPressure) {
  const double f = std::exp(-std::pow(3.0 * std::max(meanPressure, 0.0) / p.hs, p.n));
  return {p.ei0 * f, p.ec0 * f, p.ed0 * f};
}

double MinimumPressure(const Parameters& p) { return 1e-9 * p.hs; }

bool HypoplasticTensors(const Parameters& p, const State& s, Tensors* out) {
  const Sym T = Shifted(p, s.T);
  const double trT = Trace(T);
  const double pm = -trT / 3.0;
  if (!(pm > MinimumPressure(p)) || !(s.e > 0.0)) return false;
  const Sym ratio = T / trT;
  const Sym dev = ratio - Identity() / 3.0;
  const double sinPhi = std::sin(p.phiC);
  // a = sqrt3 (3 - sin phi_c) / (2 sqrt2 sin phi_c) (von Wolffersdorff 1996,
  // the constant of the Matsuoka-Nakai surface at the critical state).
  const double a = std::sqrt(3.0) * (3.0 - sinPhi) / (2.0 * std::sqrt(2.0) * sinPhi);
  const double F = FactorF(dev);
  const LimitVoidRatios l = LimitsAt(p, pm);
  // Pyknotropy factors fe = (ec / e)^beta and fd (von Wolffersdorff 1996)
  // and the barotropy factor that makes isotropic compression at e_i follow
  // the compression law ei = ei0 exp(-(3p/hs)^n) (Bauer 1996; in the form
  // of von Wolffersdorff 1996):
  //   fb = hs/n (ei0/ec0)^beta (1 + ei)/ei (3p/hs)^(1-n)
  //        / [3 + a^2 - a sqrt3 ((ei0 - ed0)/(ec0 - ed0))^alpha].
  const double fe = std::pow(l.ec / s.e, p.beta);
  const double fd = DensityFactor(p, s.e, l);
  const double fd0 = std::pow((p.ei0 - p.ed0) / (p.ec0 - p.ed0), p.alpha);
  const double fb = p.hs / p.n * std::pow(p.ei0 / p.ec0, p.beta) * (1.0 + l.ei) / l.ei *
                    std::pow(3.0 * pm / p.hs, 1.0 - p.n) /
                    (3.0 + a * a - a * std::sqrt(3.0) * fd0);
  const double c = fb * fe / Contract(ratio, ratio);
  // The constitutive equation of von Wolffersdorff (1996):
  //   T-rate = fb fe / (T^:T^) [F^2 D + a^2 T^ (T^:D) + fd a F (T^ + T^*) ||D||],
  // split into the part linear in D, L:D, and N ||D||.
  out->L = c * (F * F * Mat::Identity() + a * a * Dyad(ratio, ratio));
  out->N = c * fd * a * F * (ratio + dev);
  return true;
}

namespace {

// Intergranular-strain quantities (Niemunis and Herle 1997): the
// normalised magnitude rho = ||delta|| / R and the direction delta^.
struct Intergranular {
  double rho = 0.0;     // ||delta|| / R, at most 1
  Sym direction = Sym::Zero();  // delta / ||delta|| (zero for delta = 0)
};

Intergranular IntergranularOf(const Parameters& p, const Sym& delta) {
  Intergranular g;
  const double norm = Norm(delta);
  if (norm > 0.0) {
    g.rho = std::min(norm / p.R, 1.0);
    g.direction = delta / norm;
  }
  return g;
}

// The stiffness M with T-rate = M:D (Niemunis and Herle 1997, the general
// stress-strain relation of the intergranular strain):
//   M = [rho^chi mT + (1 - rho^chi) mR] L
//       + rho^chi (1 - mT) L:delta^ (x) delta^ + rho^chi N (x) delta^   for delta^:D > 0,
//   M = [rho^chi mT + (1 - rho^chi) mR] L + rho^chi (mR - mT) L:delta^ (x) delta^
//                                                                      for delta^:D <= 0.
Mat MatrixM(const Parameters& p, const Tensors& t, const Intergranular& g, bool loading) {
  const double rc = std::pow(g.rho, p.chi);
  const Sym Ld = t.L * g.direction;
  Mat M = (rc * p.mT + (1.0 - rc) * p.mR) * t.L;
  if (loading) {
    M += rc * (1.0 - p.mT) * Dyad(Ld, g.direction) + rc * Dyad(t.N, g.direction);
  } else {
    M += rc * (p.mR - p.mT) * Dyad(Ld, g.direction);
  }
  return M;
}

}  // namespace

Sym StartIntergranularStrain(const Parameters& p, const Sym& T) {
  const Sym shifted = Shifted(p, T);
  const double norm = Norm(shifted);
  if (!p.intergranular() || !(norm > 0.0)) return Sym::Zero();
  return p.rho0 * p.R * shifted / norm;
}

bool RatesAt(const Parameters& p, const State& s, const Sym& D, Rates* out) {
  Tensors t;
  if (!HypoplasticTensors(p, s, &t)) return false;
  out->e = (1.0 + s.e) * Trace(D);
  if (!p.intergranular()) {
    out->T = t.L * D + t.N * Norm(D);
    out->delta.setZero();
    return true;
  }
  const Intergranular g = IntergranularOf(p, s.delta);
  const double along = Contract(g.direction, D);
  const bool loading = along > 0.0;
  out->T = MatrixM(p, t, g, loading) * D;
  // Evolution of the intergranular strain (Niemunis and Herle 1997):
  //   delta-rate = (1 - delta^ (x) delta^ rho^beta_r) : D   for delta^:D > 0,
  //   delta-rate = D                                          for delta^:D <= 0;
  // it follows D on a reversal and saturates at ||delta|| = R while loading goes on.
  out->delta = loading ? Sym(D - std::pow(g.rho, p.betaR) * g.direction * along) : D;
  return true;
}

bool TangentAt(const Parameters& p, const State& s, const Sym& D, Mat* K) {
  Tensors t;
  if (!HypoplasticTensors(p, s, &t)) return false;
  if (!p.intergranular()) {
    const double norm = Norm(D);
    *K = norm > 0.0 ? Mat(t.L + Dyad(t.N, D / norm)) : t.L;
    return true;
  }
  const Intergranular g = IntergranularOf(p, s.delta);
  *K = MatrixM(p, t, g, Contract(g.direction, D) > 0.0);
  return true;
}

}  // namespace hypoplastic
