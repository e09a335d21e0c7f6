#include "models/hoek_brown/hb_return.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace soilcal::models::hoek_brown {
namespace {

constexpr int kMaxIterations = 60;
constexpr double kYieldTol = 1e-10;    // of f, relative to sci
constexpr double kSurfaceTol = 1e-13;  // of the dimensionless F of the returns
constexpr int kPsiPasses = 5;
// Admissibility of a returned state, relative to sci.
constexpr double kAdmissibleTol = 1e-10;

// A Hoek-Brown surface through principal stresses `maj` and `min`.
struct Surface {
  int maj = 0, min = 2;
};

struct Elastic {
  double lam = 0.0, twoG = 0.0;
  Vec3 Apply(const Vec3& v) const {
    const double tr = lam * (v[0] + v[1] + v[2]);
    return {tr + twoG * v[0], tr + twoG * v[1], tr + twoG * v[2]};
  }
};

double Bracket(double cMinor, const HbParams& m) {
  return std::max(m.mb * cMinor / m.sci + m.s, 0.0);
}

// The returns work on the equivalent form of the criterion
//   F = ((c_maj - c_min) / sci)^(1/a) - (mb c_min / sci + s) <= 0,
// whose gradient stays finite at the tensile apex, where that of f turns
// infinite and stalls Newton's method.
struct SurfacePoint {
  double F = 0.0;
  Vec3 grad{};
};

// F and its gradient with one power evaluation: q^(1/a) = q^(1/a - 1) q.
SurfacePoint EvaluateSurface(const Vec3& c, const Surface& sf, const HbParams& m) {
  const double q = std::max(c[sf.maj] - c[sf.min], 0.0) / m.sci;
  const double t = q > 0.0 ? std::pow(q, 1.0 / m.a - 1.0) : 0.0;
  SurfacePoint sp;
  sp.F = t * q - (m.mb * c[sf.min] / m.sci + m.s);
  const double dq = t / (m.a * m.sci);
  sp.grad[sf.maj] = dq;
  sp.grad[sf.min] = -dq - m.mb / m.sci;
  return sp;
}

// Gradient of the plastic potential g = (1 - sin psi) c_maj - (1 + sin psi) c_min
// (the Mohr-Coulomb potential, scaled to stay finite as psi nears 90 degrees).
Vec3 PotentialGradient(const Surface& sf, double sinPsi) {
  Vec3 g{};
  g[sf.maj] = 1.0 - sinPsi;
  g[sf.min] = -(1.0 + sinPsi);
  return g;
}

double Dot3(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Single-surface return to f(c_major, c_minor) = 0 along D dg, with the
// flow direction g (the potential's gradient, or a combination of two).
bool ReturnAlong(const Vec3& tr, const HbParams& m, const Elastic& de, const Vec3& g, Vec3& out) {
  const Surface sf{0, 2};
  const Vec3 r = de.Apply(g);
  double dl = 0.0;
  out = tr;
  for (int it = 0; it < kMaxIterations; ++it) {
    for (int i = 0; i < 3; ++i) out[i] = tr[i] - dl * r[i];
    const SurfacePoint sp = EvaluateSurface(out, sf, m);
    if (std::fabs(sp.F) <= kSurfaceTol) return dl >= 0.0;
    const double df = -Dot3(sp.grad, r);
    if (!(std::fabs(df) > 1e-300)) return false;
    dl -= sp.F / df;
  }
  return false;
}

bool ReturnOne(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi, Vec3& out) {
  return ReturnAlong(tr, m, de, PotentialGradient({0, 2}, sinPsi), out);
}

// Return of a trial state with two equal principal stresses into the corner
// they stay in: by symmetry the two surfaces of the corner flow alike, so
// one surface with the mean of their flow directions does it (and stays
// well posed where the dilatancy nears 90 degrees and the two directions
// coincide). `upper` pairs the major with the intermediate stress
// (extension), otherwise the intermediate with the minor (compression).
bool ReturnSymmetricCorner(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi,
                           bool upper, Vec3& out) {
  Vec3 g = PotentialGradient({0, 2}, sinPsi);
  if (upper) {
    g[0] = g[1] = 0.5 * (1.0 - sinPsi);
  } else {
    g[1] = g[2] = -0.5 * (1.0 + sinPsi);
  }
  if (!ReturnAlong(tr, m, de, g, out)) return false;
  if (upper) {
    out[1] = out[0];
  } else {
    out[1] = out[2];
  }
  return true;
}

// Two-surface return into the corner where surfaces A and B meet.
bool ReturnTwo(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi,
               const Surface& a, const Surface& b, Vec3& out) {
  const Vec3 ra = de.Apply(PotentialGradient(a, sinPsi));
  const Vec3 rb = de.Apply(PotentialGradient(b, sinPsi));
  double la = 0.0, lb = 0.0;
  out = tr;
  for (int it = 0; it < kMaxIterations; ++it) {
    for (int i = 0; i < 3; ++i) out[i] = tr[i] - la * ra[i] - lb * rb[i];
    const SurfacePoint pa = EvaluateSurface(out, a, m), pb = EvaluateSurface(out, b, m);
    const double fa = pa.F, fb = pb.F;
    if (std::fabs(fa) <= kSurfaceTol && std::fabs(fb) <= kSurfaceTol) {
      return la >= -1e-12 && lb >= -1e-12;
    }
    const Vec3& ga = pa.grad;
    const Vec3& gb = pb.grad;
    const double j11 = -Dot3(ga, ra), j12 = -Dot3(ga, rb);
    const double j21 = -Dot3(gb, ra), j22 = -Dot3(gb, rb);
    const double det = j11 * j22 - j12 * j21;
    if (!(std::fabs(det) > 1e-300)) return false;
    la -= (fa * j22 - fb * j12) / det;
    lb -= (j11 * fb - j21 * fa) / det;
  }
  return false;
}

// A constraint of the admissible set: a Hoek-Brown surface through the
// pair (maj, min) of principal stresses, or the tension cut-off of the
// principal stress maj.
struct Constraint {
  enum Kind { kNone, kSurface, kTension } kind = kNone;
  int maj = 0, min = 0;
  static constexpr Constraint None() { return {}; }
  static constexpr Constraint Surface(int a, int b) { return {kSurface, a, b}; }
  static constexpr Constraint Tension(int i) { return {kTension, i, i}; }
};

// Value (at most 0 when admissible, dimensionless) and gradient of a
// constraint; the cut-off is -T - c_i scaled by sci.
SurfacePoint EvaluateConstraint(const Constraint& k, const Vec3& c, const HbParams& m) {
  if (k.kind == Constraint::kSurface) return EvaluateSurface(c, {k.maj, k.min}, m);
  SurfacePoint sp;
  sp.F = (-m.tension - c[k.maj]) / m.sci;
  sp.grad[k.maj] = -1.0 / m.sci;
  return sp;
}

// Plastic flow direction of a constraint: the Hoek-Brown potential, or pure
// stretching of the principal stress on the cut-off.
Vec3 FlowOf(const Constraint& k, double sinPsi) {
  if (k.kind == Constraint::kSurface) return PotentialGradient({k.maj, k.min}, sinPsi);
  Vec3 g{};
  g[k.maj] = -1.0;
  return g;
}

// Solves J x = b for n <= 3 by elimination with partial pivoting.
bool SolveSmall(int n, std::array<std::array<double, 3>, 3> J, std::array<double, 3> b,
                std::array<double, 3>& x) {
  for (int i = 0; i < n; ++i) {
    int p = i;
    for (int r = i + 1; r < n; ++r) {
      if (std::fabs(J[r][i]) > std::fabs(J[p][i])) p = r;
    }
    if (!(std::fabs(J[p][i]) > 1e-300)) return false;
    std::swap(J[i], J[p]);
    std::swap(b[i], b[p]);
    for (int r = i + 1; r < n; ++r) {
      const double f = J[r][i] / J[i][i];
      for (int col = i; col < n; ++col) J[r][col] -= f * J[i][col];
      b[r] -= f * b[i];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double sum = b[i];
    for (int col = i + 1; col < n; ++col) sum -= J[i][col] * x[col];
    x[i] = sum / J[i][i];
  }
  return true;
}

// Return with the constraints of `set` active (kNone entries end it): the
// state c = tr - sum lambda_k D dg_k on all of them, by Newton's method in
// the multipliers. True when it converges with no negative multiplier.
bool SolveActiveSet(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi,
                    const std::array<Constraint, 3>& set, Vec3& out) {
  int n = 0;
  std::array<Vec3, 3> r{};
  for (const Constraint& k : set) {
    if (k.kind == Constraint::kNone) break;
    r[n++] = de.Apply(FlowOf(k, sinPsi));
  }
  std::array<double, 3> lambda{};
  for (int it = 0; it < kMaxIterations; ++it) {
    out = tr;
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < 3; ++i) out[i] -= lambda[j] * r[j][i];
    }
    std::array<std::array<double, 3>, 3> J{};
    std::array<double, 3> F{};
    bool done = true;
    for (int k = 0; k < n; ++k) {
      const SurfacePoint sp = EvaluateConstraint(set[k], out, m);
      F[k] = -sp.F;
      done = done && std::fabs(sp.F) <= kSurfaceTol;
      for (int j = 0; j < n; ++j) J[k][j] = -Dot3(sp.grad, r[j]);
    }
    if (done) {
      // A multiplier is a plastic strain; below -1e-12 it would be loading
      // that unloads.
      for (int j = 0; j < n; ++j) {
        if (lambda[j] < -1e-12) return false;
      }
      return true;
    }
    std::array<double, 3> step{};
    if (!SolveSmall(n, J, F, step)) return false;
    for (int j = 0; j < n; ++j) lambda[j] += step[j];
  }
  return false;
}

// Return to the surface, or into one of its corners when the single-surface
// return would break the order of the principal stresses.
bool ReturnShear(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi, Vec3& c) {
  // Equal minor (major) stresses, as in a triaxial test, return into the
  // corner straight away.
  const double tie = 1e-12 * m.sci;
  if (tr[1] - tr[2] <= tie) return ReturnSymmetricCorner(tr, m, de, sinPsi, false, c);
  if (tr[0] - tr[1] <= tie) return ReturnSymmetricCorner(tr, m, de, sinPsi, true, c);
  bool ok = ReturnOne(tr, m, de, sinPsi, c);
  if (ok && c[1] < c[2]) {  // compression corner: intermediate = minor
    ok = ReturnTwo(tr, m, de, sinPsi, {0, 2}, {0, 1}, c);
  } else if (ok && c[1] > c[0]) {  // extension corner: intermediate = major
    ok = ReturnTwo(tr, m, de, sinPsi, {0, 2}, {1, 2}, c);
  }
  return ok;
}

// Admissible within the tolerance of the returns: on or inside the
// criterion and the cut-off, principal order kept.
bool Admissible(const Vec3& c, const HbParams& m, double relTol = kAdmissibleTol) {
  const double tol = relTol * m.sci;
  return c[0] >= c[1] - tol && c[1] >= c[2] - tol && c[2] >= -m.tension - tol &&
         HbYield(c[0], c[2], m) <= tol;
}

// The shear return of the trial state, accepted when it leaves the minor
// stress on the compressive side of the cut-off and keeps the order.
bool ShearReturn(const Vec3& tr, const HbParams& m, const Elastic& de, Vec3& c) {
  // The dilatancy follows the confinement of the returned state: a few
  // fixed-point passes, starting from the trial state's confinement (not
  // below zero: a trial deep in tension often returns to a compressed
  // state). Near the tensile apex the flow with that first dilatancy may
  // find no state on the surface although one with the steep dilatancy of
  // the apex region exists: the passes then start again from the dilatancy
  // at the cut-off.
  for (const double start : {std::max(tr[2], 0.0), -m.tension}) {
    double sinPsi = MobilisedSinPsi(start, m);
    bool ok = false;
    for (int pass = 0; pass < kPsiPasses; ++pass) {
      ok = ReturnShear(tr, m, de, sinPsi, c);
      const double next = MobilisedSinPsi(c[2], m);
      if (!ok || std::fabs(next - sinPsi) <= 1e-9) break;
      sinPsi = next;
    }
    if (ok && Admissible(c, m)) return true;
    if (tr[2] >= 0.0) break;  // a compressed trial state has no apex region to retry
  }
  return false;
}

// Returns with the tension cut-off active, alone or with the criterion, in
// the order of growing number of active constraints; the first whose
// multipliers are not negative and whose state is admissible is the return.
// Each names its active constraints: T the cut-off of a principal stress,
// H a Hoek-Brown surface through a pair of them.
bool TensionReturn(const Vec3& tr, const HbParams& m, const Elastic& de, Vec3& c) {
  using K = Constraint;
  static constexpr std::array<std::array<K, 3>, 6> kSets = {{
      {K::Tension(2), K::None(), K::None()},             // minor stress on the cut-off
      {K::Tension(2), K::Tension(1), K::None()},         // minor and intermediate
      {K::Surface(0, 2), K::Tension(2), K::None()},      // criterion meets the cut-off
      {K::Surface(0, 2), K::Tension(2), K::Tension(1)},  // ... in the compression corner
      {K::Surface(0, 2), K::Surface(1, 2), K::Tension(2)},  // ... in the extension corner
      {K::Tension(2), K::Tension(1), K::Tension(0)},     // the apex
  }};
  // On the cut-off the dilatancy is that of the minor stress -T.
  const double sinPsi = MobilisedSinPsi(-m.tension, m);
  for (const auto& set : kSets) {
    if (SolveActiveSet(tr, m, de, sinPsi, set, c) && Admissible(c, m)) return true;
  }
  return false;
}

// Last resort, and the return of the states beyond the apex that no flow
// of the potentials reaches (with 90 degrees of dilatancy at the apex no
// plastic strain compresses the major stress): the admissible set is convex
// and holds the apex (-T, -T, -T), so the point where the segment from the
// apex to the trial state leaves it is admissible (strictly, with no
// tolerance), and its principal order is the trial's.
Vec3 RadialReturn(const Vec3& tr, const HbParams& m) {
  const double t = -m.tension;
  auto at = [&](double x) -> Vec3 {
    return {t + x * (tr[0] - t), t + x * (tr[1] - t), t + x * (tr[2] - t)};
  };
  double lo = 0.0, hi = 1.0;
  for (int it = 0; it < 60; ++it) {
    const double mid = 0.5 * (lo + hi);
    (Admissible(at(mid), m, 0.0) ? lo : hi) = mid;
  }
  return at(lo);
}

}  // namespace

HbParams MakeHbParams(const PropSoil& p, double G) {
  HbParams m;
  m.sci = p[31];
  m.mb = p[45];
  m.s = p[46];
  m.a = p[47];
  m.tension = p[41] * p[58];
  m.psi = p[48] * std::numbers::pi / 180.0;
  m.sigPsi = p[49];
  m.G = G;
  m.nu = p[2];
  return m;
}

double HbYield(double cMajor, double cMinor, const HbParams& m) {
  return cMajor - cMinor - m.sci * std::pow(Bracket(cMinor, m), m.a);
}

double MobilisedSinPsi(double cMinor, const HbParams& m) {
  constexpr double kRight = 0.5 * std::numbers::pi;
  if (cMinor < 0.0) {
    const double st = m.s * m.sci / m.mb;
    const double r = st > 0.0 ? std::min(1.0, -cMinor / st) : 1.0;
    return std::sin(m.psi + r * (kRight - m.psi));
  }
  if (m.psi <= 0.0 || cMinor >= m.sigPsi) return 0.0;
  return std::sin(m.psi * (1.0 - cMinor / m.sigPsi));
}

HbReturn ReturnHoekBrown(const Vec3& tr, const HbParams& m) {
  HbReturn res;
  res.c = tr;
  const bool shear = HbYield(tr[0], tr[2], m) > kYieldTol * m.sci;
  const bool tensile = tr[2] < -m.tension;
  if (!shear && !tensile) return res;

  const Elastic de{2.0 * m.G * m.nu / (1.0 - 2.0 * m.nu), 2.0 * m.G};
  Vec3 c = tr;
  if (shear && ShearReturn(tr, m, de, c)) {
    res.area = 1;
    res.c = c;
    return res;
  }
  // Tension cut-off, alone or in a corner with the Hoek-Brown surface.
  res.area = 2;
  res.tension = true;
  if (!TensionReturn(tr, m, de, c)) {
    c = RadialReturn(tr, m);
    // Landing on the apex is its return; anywhere else the flow rule could
    // not be kept.
    res.converged = c[0] - c[2] <= 1e-12 * m.sci;
  }
  // Equal stresses within round-off are made equal, so that the order holds
  // exactly when the stress is rebuilt.
  const double tie = kAdmissibleTol * m.sci;
  if (c[1] > c[0]) c[1] = c[0];
  if (c[2] > c[1]) c[2] = c[1];
  if (c[2] < -m.tension && c[2] >= -m.tension - tie) c[2] = -m.tension;
  res.apex = c[0] - c[2] <= 1e-12 * m.sci;
  res.c = c;
  return res;
}

}  // namespace soilcal::models::hoek_brown
