#include "mohr_coulomb.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace usermod {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Yield planes in principal stress space (s1 <= s2 <= s3, tension
// positive), f = a . s - k: the Mohr-Coulomb planes of the pairs (s1, s3),
// (s1, s2), (s2, s3),
//   1/2 (s_hi - s_lo) + 1/2 (s_hi + s_lo) sin(phi) - c cos(phi),
// and the tension cut-off s_i - sigT. The plastic potentials have the same
// form with sin(psi).
enum { kF31, kF21, kF32, kT1, kT2, kT3 };

struct Surfaces {
  double sinPhi = 0.0, sinPsi = 0.0, cc = 0.0, tensile = 0.0;
};

Vec3 Gradient(int plane, double sine) {
  const double lo = -0.5 + 0.5 * sine, hi = 0.5 + 0.5 * sine;
  switch (plane) {
    case kF31: return {lo, 0.0, hi};
    case kF21: return {lo, hi, 0.0};
    case kF32: return {0.0, lo, hi};
    default: {
      Vec3 a{};
      a[static_cast<std::size_t>(plane - kT1)] = 1.0;
      return a;
    }
  }
}

double Dot(const Vec3& x, const Vec3& y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; }

double Value(int plane, const Surfaces& f, const Vec3& s) {
  return Dot(Gradient(plane, f.sinPhi), s) - (plane < kT1 ? f.cc : f.tensile);
}

// Largest of the six yield functions at s.
double MaxYield(const Surfaces& f, const Vec3& s) {
  const double shear = std::max({Value(kF31, f, s), Value(kF21, f, s), Value(kF32, f, s)});
  return std::max(shear, std::max({s[0], s[1], s[2]}) - f.tensile);
}

// Active sets tried in turn: the single shear plane, its two edges, the
// tension cut-off, the shear/tension corners and the tension apex.
struct ActiveSet {
  int n;
  std::array<int, 3> plane;
};
constexpr std::array<ActiveSet, 9> kCandidates = {{{1, {kF31, 0, 0}},
                                                   {2, {kF31, kF21, 0}},
                                                   {2, {kF31, kF32, 0}},
                                                   {1, {kT3, 0, 0}},
                                                   {2, {kF31, kT3, 0}},
                                                   {2, {kT2, kT3, 0}},
                                                   {3, {kF31, kT2, kT3}},
                                                   {3, {kF31, kF32, kT3}},
                                                   {3, {kT1, kT2, kT3}}}};

// Elastic stiffness in principal stress space: K + 4G/3 on the diagonal,
// K - 2G/3 off it.
struct PrincipalStiffness {
  double diag = 0.0, off = 0.0;
  explicit PrincipalStiffness(const Elasticity& e)
      : diag(e.K() + 4.0 * e.G() / 3.0), off(e.K() - 2.0 * e.G() / 3.0) {}
  Vec3 Times(const Vec3& b) const {
    return {diag * b[0] + off * (b[1] + b[2]), diag * b[1] + off * (b[0] + b[2]),
            diag * b[2] + off * (b[0] + b[1])};
  }
};

// Solves m x = r for n <= 3 by Gaussian elimination with partial pivoting.
bool Solve(int n, double m[3][3], double r[3], double x[3]) {
  for (int c = 0; c < n; ++c) {
    int piv = c;
    for (int i = c + 1; i < n; ++i) {
      if (std::fabs(m[i][c]) > std::fabs(m[piv][c])) piv = i;
    }
    if (std::fabs(m[piv][c]) < 1e-300) return false;
    std::swap(m[c], m[piv]);
    std::swap(r[c], r[piv]);
    for (int i = c + 1; i < n; ++i) {
      const double f = m[i][c] / m[c][c];
      for (int j = c; j < n; ++j) m[i][j] -= f * m[c][j];
      r[i] -= f * r[c];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = r[i];
    for (int j = i + 1; j < n; ++j) s -= m[i][j] * x[j];
    x[i] = s / m[i][i];
  }
  return true;
}

struct Attempt {
  Vec3 s{};
  double violation = std::numeric_limits<double>::infinity();
  bool admissible = false;
};

// Return to the planes of `set` with multipliers from
// sum_j (a_i . C b_j) lambda_j = f_i(trial); admissible when every
// multiplier is non-negative and no yield function is left positive.
Attempt TryActiveSet(const ActiveSet& set, const Surfaces& f, const PrincipalStiffness& c,
                     const Vec3& trial, double tolF) {
  const int n = set.n;
  Vec3 cb[3];
  double m[3][3] = {}, r[3] = {}, lambda[3] = {};
  for (int j = 0; j < n; ++j) cb[j] = c.Times(Gradient(set.plane[static_cast<std::size_t>(j)], f.sinPsi));
  for (int i = 0; i < n; ++i) {
    const int plane = set.plane[static_cast<std::size_t>(i)];
    const Vec3 a = Gradient(plane, f.sinPhi);
    r[i] = Value(plane, f, trial);
    for (int j = 0; j < n; ++j) m[i][j] = Dot(a, cb[j]);
  }
  Attempt out;
  if (!Solve(n, m, r, lambda)) return out;
  out.s = trial;
  bool positive = true;
  for (int j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < 3; ++i) out.s[i] -= lambda[j] * cb[j][i];
    // A multiplier may be negative only by what rounding makes of zero.
    if (lambda[j] * std::sqrt(Dot(cb[j], cb[j])) < -tolF) positive = false;
  }
  out.violation = MaxYield(f, out.s);
  out.admissible = positive && out.violation <= tolF;
  return out;
}

int Indicator(const ActiveSet& set) {
  if (set.n == 3 && set.plane[0] == kT1) return kApex;
  for (int i = 0; i < set.n; ++i) {
    if (set.plane[static_cast<std::size_t>(i)] >= kT1) return kTension;
  }
  return kShear;
}

}  // namespace

MohrCoulombResult MohrCoulombReturn(const MohrCoulombParameters& p, const Vec6& trial) {
  Surfaces f;
  f.sinPhi = std::min(std::sin(p.phiDeg * kPi / 180.0), 0.999);
  f.sinPsi = std::min(std::sin(p.psiDeg * kPi / 180.0), f.sinPhi);
  f.cc = p.c * std::cos(p.phiDeg * kPi / 180.0);
  // The cut-off cannot lie beyond the apex of the Mohr-Coulomb pyramid.
  f.tensile = f.sinPhi > 0.0 ? std::min(p.tensile, f.cc / f.sinPhi) : p.tensile;

  MohrCoulombResult result;
  result.sig = trial;
  const Principal pr = Decompose(trial);
  // Elastic when the trial stress lies inside F31 and below the cut-off.
  if (Value(kF31, f, pr.value) <= 1e-12 && pr.value[2] - f.tensile <= 1e-12) return result;

  double scale = std::max(std::fabs(f.cc), std::fabs(f.tensile));
  for (double v : pr.value) scale = std::max(scale, std::fabs(v));
  const double tolF = 1e-10 * std::max(scale, 1e-6);

  const PrincipalStiffness stiffness(p.elastic);
  Attempt best;
  int bestIpl = kShear;
  for (const ActiveSet& set : kCandidates) {
    const Attempt a = TryActiveSet(set, f, stiffness, pr.value, tolF);
    if (a.admissible || a.violation < best.violation) {
      // The least violating set is kept in case none is consistent (only
      // possible through rounding).
      best = a;
      bestIpl = Indicator(set);
      if (a.admissible) break;
    }
  }
  result.sig = Rebuild(pr, best.s);
  result.ipl = bestIpl;
  return result;
}

}  // namespace usermod
