#include "models/sekiguchi_ohta/so_return.hpp"

#include <algorithm>
#include <cmath>

#include "models/root_finding.hpp"

namespace soilcal::models::sekiguchi_ohta {
namespace {

const double kSqrt15 = std::sqrt(1.5);
constexpr int kMaxIterations = 200;

// Inner product of two symmetric tensors held as 6-vectors.
double TensorDot(const Vec6& a, const Vec6& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + 2.0 * (a[3] * b[3] + a[4] * b[4] + a[5] * b[5]);
}

double Pressure(const Vec6& sig) { return -(sig[0] + sig[1] + sig[2]) / 3.0; }

Vec6 Deviator(const Vec6& sig, double p) {
  Vec6 s = sig;
  for (int i = 0; i < 3; ++i) s[i] += p;
  return s;
}

Vec6 Stress(const Vec6& s, double p) {
  Vec6 sig = s;
  for (int i = 0; i < 3; ++i) sig[i] -= p;
  return sig;
}

// Root of a decreasing function on [lo, hi] with fn(lo) > 0 > fn(hi); ok
// becomes false when the iteration limit comes first.
template <class Fn>
double SolveDecreasing(Fn fn, double lo, double hi, double flo, double fhi, double tol,
                       bool& ok) {
  const FallingRoot root = FindFallingRoot(fn, lo, flo, hi, fhi, tol, kMaxIterations);
  if (!root.converged) ok = false;
  return root.x;
}

double Viscous(double dEpsVp, const SoParams& m) {
  if (m.alpha <= 0.0) return 0.0;
  return m.alpha * std::log(std::max(dEpsVp, 1e-300) / m.v0dt);
}

struct Trial {
  double p = 0.0;
  Vec6 s{};
};

// Return to the vertex s/p = eta0; false when the deviatoric plastic strain
// would leave the normal cone there (or no compression is left).
bool VertexReturn(const Trial& tr, double pc, const SoParams& m, double tol, SoReturn& out) {
  const double xMax = tr.p / m.K * (1.0 - 1e-12);
  auto h = [&](double x) { return m.MD * std::log((tr.p - m.K * x) / pc) - x - Viscous(x, m); };
  double lo = m.alpha > 0.0 ? 1e-30 * m.v0dt : 0.0;
  const double hlo = h(lo);
  if (!(hlo > 0.0)) return false;
  bool ok = true;
  const double x = SolveDecreasing(h, lo, xMax, hlo, h(xMax), tol, ok);
  const double p = tr.p - m.K * x;
  Vec6 de{};
  for (int i = 0; i < 6; ++i) de[i] = (tr.s[i] - m.eta0[i] * p) / (2.0 * m.G);
  const double c = std::sqrt(TensorDot(de, de));
  const double den = x + TensorDot(de, m.eta0);
  if (c * m.M > kSqrt15 * den * (1.0 + 1e-9) + 1e-15) return false;
  Vec6 s{};
  for (int i = 0; i < 6; ++i) s[i] = m.eta0[i] * p;
  out.sig = Stress(s, p);
  out.dEpsVp = x;
  out.vertex = true;
  out.converged = ok;
  return true;
}

// Smooth part of the surface: for a multiplier L = dlambda D / p the
// deviator ratio xi = s/p - eta0 is parallel to w = s_tr - p eta0 with
// eta* = (sqrt(3/2)|w| - 3 G L)/p, and p solves
//   p - p_tr + K L (M - eta* - c),  c = sqrt(3/2) w:eta0 / |w|.
struct Smooth {
  double p = 0.0, etaStar = 0.0, c = 0.0, dEpsVp = 0.0;
  Vec6 w{};
  bool ok = false;
};

Smooth SmoothState(const Trial& tr, double L, const SoParams& m) {
  Smooth st;
  auto eval = [&](double p, Smooth& o) {
    for (int i = 0; i < 6; ++i) o.w[i] = tr.s[i] - p * m.eta0[i];
    const double wn = std::sqrt(TensorDot(o.w, o.w));
    o.etaStar = std::max(0.0, (kSqrt15 * wn - 3.0 * m.G * L) / p);
    o.c = wn > 0.0 ? kSqrt15 * TensorDot(o.w, m.eta0) / wn : 0.0;
    o.dEpsVp = L * (m.M - o.etaStar - o.c);
    return p - tr.p + m.K * o.dEpsVp;
  };
  double p = tr.p;
  for (int it = 0; it < 50; ++it) {
    const double g = eval(p, st);
    if (std::fabs(g) <= 1e-13 * tr.p) {
      st.p = p;
      st.ok = p > 0.0;
      return st;
    }
    const double dp = 1e-7 * p;
    Smooth tmp;
    const double dg = (eval(p + dp, tmp) - g) / dp;
    double next = p - g / dg;
    if (!(next > 0.0) || !std::isfinite(next)) next = 0.5 * p;
    p = next;
  }
  st.p = p;
  return st;
}

bool SmoothReturn(const Trial& tr, double pc, const SoParams& m, double tol, SoReturn& out) {
  auto r2 = [&](double L) {
    const Smooth st = SmoothState(tr, L, m);
    if (!st.ok) return -1.0;
    return m.MD * std::log(st.p / pc) + m.D * st.etaStar - st.dEpsVp - Viscous(st.dEpsVp, m);
  };
  double lo = m.alpha > 0.0 ? 1e-30 * m.v0dt : 0.0;
  double flo = r2(lo);
  if (!(flo > 0.0)) return false;
  double hi = std::max(1e-9, m.alpha > 0.0 ? m.v0dt / m.M : 0.0), fhi = r2(hi);
  for (int k = 0; k < 80 && fhi > 0.0; ++k) {
    lo = hi;
    flo = fhi;
    hi *= 4.0;
    fhi = r2(hi);
  }
  if (fhi > 0.0) return false;
  bool ok = true;
  const double L = SolveDecreasing(r2, lo, hi, flo, fhi, tol, ok);
  const Smooth st = SmoothState(tr, L, m);
  const double wn = std::sqrt(TensorDot(st.w, st.w));
  Vec6 s{};
  for (int i = 0; i < 6; ++i) {
    const double xi = wn > 0.0 ? st.w[i] / wn * st.etaStar / kSqrt15 : 0.0;
    s[i] = st.p * (xi + m.eta0[i]);
  }
  out.sig = Stress(s, st.p);
  out.dEpsVp = st.dEpsVp;
  out.converged = ok && st.ok;
  return true;
}

}  // namespace

double EtaStar(const Vec6& sig, const Vec6& eta0) {
  const double p = Pressure(sig);
  const Vec6 s = Deviator(sig, p);
  Vec6 xi{};
  for (int i = 0; i < 6; ++i) xi[i] = s[i] / p - eta0[i];
  return kSqrt15 * std::sqrt(TensorDot(xi, xi));
}

double SoYield(const Vec6& sig, double pc, const SoParams& m, double floor) {
  const double p = std::max(Pressure(sig), floor);
  Vec6 shifted = sig;
  for (int i = 0; i < 3; ++i) shifted[i] += Pressure(sig) - p;
  return m.MD * std::log(p / pc) + m.D * EtaStar(shifted, m.eta0);
}

Vec6 K0RatioTensor(double etaK0, int axis) {
  Vec6 e{etaK0 / 3.0, etaK0 / 3.0, etaK0 / 3.0, 0.0, 0.0, 0.0};
  e[static_cast<std::size_t>(axis)] = -2.0 * etaK0 / 3.0;
  return e;
}

SoReturn ReturnSekiguchiOhta(const Vec6& sigTr, double pcStart, const SoParams& m,
                             double floor) {
  SoReturn out;
  out.sig = sigTr;
  out.pc = pcStart;
  Trial tr;
  tr.p = Pressure(sigTr);
  if (tr.p <= floor) {
    out.sig = {-floor, -floor, -floor, 0.0, 0.0, 0.0};
    out.plastic = out.tension = true;
    return out;
  }
  tr.s = Deviator(sigTr, tr.p);
  const double fTr = SoYield(sigTr, pcStart, m, floor);
  if (m.alpha > 0.0) {
    // Creep of the step at most v0 dt exp(f / alpha): negligible below this.
    if (!(m.v0dt > 0.0) || fTr / m.alpha + std::log(m.v0dt) < std::log(1e-14)) return out;
  } else if (fTr <= 1e-12 * std::max(m.MD, 1e-6)) {
    return out;
  }
  const double tol = 1e-12 * std::max(m.MD, 1e-6);
  out.plastic = true;
  if (!VertexReturn(tr, pcStart, m, tol, out) && !SmoothReturn(tr, pcStart, m, tol, out)) {
    out.converged = false;
    out.sig = sigTr;
    return out;
  }
  out.pc = pcStart * std::exp(out.dEpsVp / m.MD);
  return out;
}

}  // namespace soilcal::models::sekiguchi_ohta
