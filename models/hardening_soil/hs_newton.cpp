// Newton iteration on the plastic multipliers of several active surfaces.
//
// For given multipliers the returned stress is explicit. With flows b_j of
// the non-cap mechanisms and the cap multiplier lc (flow 2p/3 (1,1,1) +
// 2 qt/alpha^2 c, c the deviatoric cap weights of the mode):
//   p  = (p_tr - K sum l_j tr b_j) / (1 + 2 K lc)
//   s* = dev(s_tr) - 2G sum l_j dev b_j
//   qt = c.s* / (1 + 4G |c|^2 lc / alpha^2),   s = s* - (4G lc qt / alpha^2) c
//   pc = pc0 + 2 H lc p
// so the iteration works on the 1 to 4 multipliers only, with the exact
// derivatives of these expressions.
#include <algorithm>
#include <cmath>

#include "models/hardening_soil/hs_formulas.hpp"
#include "models/hardening_soil/hs_return.hpp"

namespace soilcal::models::hs {
namespace {

double Dot(const P3& a, const P3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

using Vec4 = std::array<double, 4>;
using Mat4 = std::array<Vec4, 4>;

// Everything of a problem that does not depend on the multipliers.
struct Prepared {
  int n = 0;
  Mech kind[4]{};
  double trB[4]{};       // tr b_j
  P3 devB[4]{};          // dev b_j
  P3 normal[4]{};        // linear surfaces: n.s - k
  double k[4]{};
  int cap = -1;
  int shear = -1;
  double pt = 0.0;
  P3 devT{};
  P3 c{};                // cap gradient weights of the mode
  double cq = 0.0;       // 4 G |c|^2 / alpha^2
  P3 wCap{};             // cap deviator as a linear form of the mode
  P3 wq{}, wf{};         // shear deviator and failure deviator forms
  double qf0 = 0.0;      // 2 c cos(phi)
  double A = 0.0, B = 0.0;
  double sc = 1.0, pcs = 1.0;
  Vec4 scale{};
};

P3 CapDeviatorWeights(int mode, double d) {
  switch (mode) {
    case kModeEdge23: return {1.0, -d, d - 1.0};
    case kModeEdge12: return {d - 1.0, 1.0, -d};
    default: return {1.0, d - 1.0, -d};
  }
}

Prepared Prepare(const ReturnInput& in, const ActiveSet& set) {
  const Material& m = *in.m;
  Prepared P;
  P.n = set.n;
  P.sc = StressScale(in);
  P.pcs = std::max(in.start.pc, m.stressFloor);
  P.pt = (in.trial[0] + in.trial[1] + in.trial[2]) / 3.0;
  for (int i = 0; i < 3; ++i) P.devT[i] = in.trial[i] - P.pt;
  for (int j = 0; j < set.n; ++j) {
    const Mech kind = set.mech[j];
    P.kind[j] = kind;
    if (kind == Mech::kCap) {
      P.cap = j;
      P.scale[j] = 1.0 / (2.0 * m.bulk);
      continue;
    }
    P.scale[j] = P.sc / (2.0 * m.G);
    P3 b;
    if (kind == Mech::kShear) {
      P.shear = j;
      b = ShearFlow(in.mode, m.sinPsiM);
    } else {
      const Plane pl = LinearSurface(kind, m, in.mode);
      b = pl.b;
      P.normal[j] = pl.n;
      P.k[j] = pl.k;
    }
    P.trB[j] = b[0] + b[1] + b[2];
    for (int i = 0; i < 3; ++i) P.devB[j][i] = b[i] - P.trB[j] / 3.0;
  }
  P.c = CapWeights(in.mode, m.delta);
  P.cq = 4.0 * m.G * Dot(P.c, P.c) / m.alpha2;
  P.wCap = CapDeviatorWeights(in.mode, m.delta);
  P.wq = ShearDeviatorWeights(in.mode);
  P.wf = FailureDeviatorWeights(in.mode, m.sinPhi);
  for (double& x : P.wf) x /= (1.0 - m.sinPhi) * m.rf;
  P.qf0 = 2.0 * m.cCosPhi / ((1.0 - m.sinPhi) * m.rf);
  P.A = 2.0 / m.Ei;
  P.B = 2.0 / m.Eur;
  return P;
}

struct Eval {
  P3 sig{};
  Hardening st;
  Vec4 r{};
  Mat4 jac{};
  bool valid = true;
};

// Stress, hardening, residuals and (with kJacobian) their derivatives at
// multipliers `lam`. The residuals come out with the same bits either way:
// a rejected trial step of the line search needs only them.
template <bool kJacobian>
Eval Evaluate(const Prepared& P, const ReturnInput& in, const Vec4& lam) {
  const Material& m = *in.m;
  const int n = P.n;
  Eval e;
  double trB = 0.0;
  P3 devB{};
  for (int j = 0; j < n; ++j) {
    if (j == P.cap) continue;
    trB += lam[j] * P.trB[j];
    for (int i = 0; i < 3; ++i) devB[i] += lam[j] * P.devB[j][i];
  }
  const double lc = P.cap >= 0 ? lam[P.cap] : 0.0;
  // p and its derivatives.
  const double dpDen = 1.0 + 2.0 * m.bulk * lc;
  const double dqDen = 1.0 + P.cq * lc;
  if (dpDen <= 0.0 || dqDen <= 0.0) e.valid = false;
  double p = (P.pt - m.bulk * trB) / dpDen;
  Vec4 dp{};
  if constexpr (kJacobian) {
    for (int j = 0; j < n; ++j) dp[j] = j == P.cap ? -2.0 * m.bulk * p / dpDen : -m.bulk * P.trB[j] / dpDen;
  }
  if (P.cap >= 0 && p < 0.0) {
    p = 0.0;
    dp = Vec4{};
  }
  // Deviator and its derivatives.
  P3 s{};
  P3 ds[4]{};
  for (int i = 0; i < 3; ++i) s[i] = P.devT[i] - 2.0 * m.G * devB[i];
  if constexpr (kJacobian) {
    for (int j = 0; j < n; ++j) {
      if (j == P.cap) continue;
      for (int i = 0; i < 3; ++i) ds[j][i] = -2.0 * m.G * P.devB[j][i];
    }
  }
  e.st = in.start;
  Vec4 dpc{};
  if (P.cap >= 0) {
    const double qt = Dot(P.c, s) / dqDen;
    const double f = 4.0 * m.G / m.alpha2;
    const double mu = f * lc * qt;
    for (int i = 0; i < 3; ++i) s[i] -= mu * P.c[i];
    if constexpr (kJacobian) {
      Vec4 dqt{}, dmu{};
      for (int j = 0; j < n; ++j) {
        dqt[j] = j == P.cap ? -P.cq * qt / dqDen : Dot(P.c, ds[j]) / dqDen;
        dmu[j] = j == P.cap ? f * (qt + lc * dqt[j]) : f * lc * dqt[j];
      }
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < 3; ++i) ds[j][i] -= dmu[j] * P.c[i];
      }
    }
    const double raw = in.start.pc + 2.0 * m.H * lc * p;
    if (raw > in.start.pc) {
      e.st.pc = raw;
      if constexpr (kJacobian) {
        for (int j = 0; j < n; ++j) dpc[j] = 2.0 * m.H * (lc * dp[j] + (j == P.cap ? p : 0.0));
      }
    }
  }
  P3 dsig[4]{};
  for (int i = 0; i < 3; ++i) e.sig[i] = p + s[i];
  if constexpr (kJacobian) {
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < 3; ++i) dsig[j][i] = dp[j] + ds[j][i];
    }
  }
  Vec4 dg{};
  if (P.shear >= 0) {
    e.st.gammaP = in.start.gammaP + in.gammaExtra + in.gammaRate * lam[P.shear];
    dg[P.shear] = in.gammaRate;
  }

  for (int i = 0; i < n; ++i) {
    if (P.kind[i] == Mech::kShear) {
      // Hyperbola multiplied by (q_a - q): smooth through the asymptote.
      const double q = Dot(P.wq, e.sig), qa = Dot(P.wf, e.sig) + P.qf0;
      const double u = (P.B * q + e.st.gammaP) / P.A;
      const double sc2 = P.sc * P.sc;
      e.r[i] = (q * qa - u * (qa - q)) / sc2;
      if constexpr (!kJacobian) continue;
      for (int j = 0; j < n; ++j) {
        const double dq = Dot(P.wq, dsig[j]), dqa = Dot(P.wf, dsig[j]);
        const double du = (P.B * dq + dg[j]) / P.A;
        e.jac[i][j] = (dq * qa + q * dqa - du * (qa - q) - u * (dqa - dq)) / sc2;
      }
    } else if (P.kind[i] == Mech::kCap) {
      const double pm = std::max((e.sig[0] + e.sig[1] + e.sig[2]) / 3.0, 0.0);
      const double qd = Dot(P.wCap, e.sig);
      // Scaled by 1 + 2 K lc, the cap condition is nearly linear in lc
      // (p, qt and pc all carry that denominator when qt's is alike).
      const double rad = std::sqrt(pm * pm + qd * qd / m.alpha2);
      const double g = (rad - e.st.pc) / P.pcs;
      e.r[i] = g * dpDen;
      if constexpr (!kJacobian) continue;
      for (int j = 0; j < n; ++j) {
        const double dpm = pm > 0.0 ? (dsig[j][0] + dsig[j][1] + dsig[j][2]) / 3.0 : 0.0;
        const double drad = rad > 0.0 ? (pm * dpm + qd / m.alpha2 * Dot(P.wCap, dsig[j])) / rad : 0.0;
        e.jac[i][j] = (drad - dpc[j]) / P.pcs * dpDen + (j == P.cap ? g * 2.0 * m.bulk : 0.0);
      }
    } else {
      e.r[i] = (Dot(P.normal[i], e.sig) - P.k[i]) / P.sc;
      if constexpr (!kJacobian) continue;
      for (int j = 0; j < n; ++j) e.jac[i][j] = Dot(P.normal[i], dsig[j]) / P.sc;
    }
  }
  return e;
}

double MaxAbs(const Vec4& r, int n) {
  double x = 0.0;
  for (int i = 0; i < n; ++i) x = std::max(x, std::fabs(r[i]));
  return x;
}

// Solves a.x = b (n <= 4) by elimination with partial pivoting.
bool SolveSmall(Mat4 a, Vec4 b, int n, Vec4& x) {
  for (int c = 0; c < n; ++c) {
    int piv = c;
    for (int r = c + 1; r < n; ++r) {
      if (std::fabs(a[r][c]) > std::fabs(a[piv][c])) piv = r;
    }
    if (!(std::fabs(a[piv][c]) > 1e-300)) return false;
    std::swap(a[piv], a[c]);
    std::swap(b[piv], b[c]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (int k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int k = r + 1; k < n; ++k) s -= a[r][k] * x[k];
    x[r] = s / a[r][r];
  }
  return true;
}

// Step halvings of the line search before a Newton solve gives up. In
// calibrations the returns that converge need at most two; a solve that
// needs more is nearly always one creeping towards a set without solution
// (with 30 halvings such solves took most of the time of a Hardening Soil
// job), and the caller tries the next set or edge anyway.
constexpr int kMaxHalvings = 4;

// Newton from `guess`; false when it stalls or ends with a negative
// multiplier.
bool Newton(const Prepared& P, const ReturnInput& in, const Vec4& guess, ReturnResult& out) {
  const int n = P.n;
  Vec4 lam = guess;
  Eval e = Evaluate<true>(P, in, lam);
  double norm = e.valid ? MaxAbs(e.r, n) : 1e300;
  out.converged = false;
  // Accepted at 1e-10 relative on every residual, but iterated on towards
  // rounding: a return whose error wanders within the tolerance from one
  // call to the next stalls the equilibrium iteration of the step solver.
  constexpr double kTol = 1e-10;
  constexpr double kTarget = 1e-14;
  for (int it = 0; it < 40 && norm > kTarget; ++it) {
    Vec4 rhs{}, step{};
    for (int i = 0; i < n; ++i) rhs[i] = -e.r[i];
    if (!SolveSmall(e.jac, rhs, n, step)) return false;
    // Backtracking keeps the iteration inside the region where the explicit
    // stress is defined and the residual decreases. The full step is
    // evaluated with its derivatives (it is nearly always taken); a halved
    // one first by its residuals alone.
    double t = 1.0;
    bool accepted = false;
    for (int ls = 0; ls <= kMaxHalvings; ++ls, t *= 0.5) {
      Vec4 trial = lam;
      for (int i = 0; i < n; ++i) trial[i] += t * step[i];
      const Eval et = ls == 0 ? Evaluate<true>(P, in, trial) : Evaluate<false>(P, in, trial);
      const double nt = MaxAbs(et.r, n);
      if (et.valid && nt < norm) {
        lam = trial;
        e = ls == 0 ? et : Evaluate<true>(P, in, trial);
        norm = nt;
        accepted = true;
        break;
      }
    }
    if (!accepted) break;
  }
  if (!(norm <= kTol)) return false;
  for (int i = 0; i < n; ++i) {
    if (lam[i] < -1e-9 * P.scale[i]) return false;
  }
  out.sig = e.sig;
  out.state = e.st;
  out.lambda = lam;
  out.converged = true;
  return true;
}

}  // namespace

bool SolveActiveSet(const ReturnInput& in, const ActiveSet& set, const std::array<double, 4>& guess,
                    ReturnResult& out) {
  const Prepared P = Prepare(in, set);
  if (Newton(P, in, guess, out)) return true;
  // A guess from another set can lead to another root: once more from the
  // elastic trial.
  const Vec4 zero{};
  return guess != zero && Newton(P, in, zero, out);
}

}  // namespace soilcal::models::hs
