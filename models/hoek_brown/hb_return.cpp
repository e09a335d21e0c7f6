#include "models/hoek_brown/hb_return.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace soilcal::models::hoek_brown {
namespace {

constexpr int kMaxIterations = 60;
constexpr double kYieldTol = 1e-10;    // of f, relative to sci
constexpr double kSurfaceTol = 1e-13;  // of the dimensionless F of the returns
constexpr int kPsiPasses = 5;

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

// Single-surface return to f(c_major, c_minor) = 0 along D dg.
bool ReturnOne(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi, Vec3& out) {
  const Surface sf{0, 2};
  const Vec3 r = de.Apply(PotentialGradient(sf, sinPsi));
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

// Tension cut-off: the principal stresses below -T are brought to -T by
// plastic strain in their own directions.
Vec3 ReturnTension(const Vec3& tr, const HbParams& m, const Elastic& de) {
  const double t = -m.tension;
  const double a = de.lam + de.twoG, b = de.lam;
  Vec3 c = tr;
  if (tr[1] >= t) {  // minor stress alone
    const double mu = (tr[2] - t) / a;
    c = {tr[0] - b * mu, tr[1] - b * mu, t};
  } else if (tr[0] >= t) {  // intermediate and minor
    // [a b; b a] (mu1, mu2) = (tr1 - t, tr2 - t)
    const double d1 = tr[1] - t, d2 = tr[2] - t, det = a * a - b * b;
    const double mu1 = (a * d1 - b * d2) / det, mu2 = (a * d2 - b * d1) / det;
    c = {tr[0] - b * (mu1 + mu2), t, t};
  } else {
    c = {t, t, t};
  }
  return c;
}

// Admissible state on the tension cut-off where the Hoek-Brown surface cuts
// it: the minor stress at -T, the major one at most on the surface there.
Vec3 TensionCorner(const Vec3& c, const HbParams& m) {
  const double t = -m.tension;
  const double cMax = t + m.sci * std::pow(Bracket(t, m), m.a);
  Vec3 r{std::min(c[0], cMax), 0.0, t};
  r[0] = std::max(r[0], t);
  r[1] = std::clamp(c[1], t, r[0]);
  return r;
}

// Return to the surface, or into one of its corners when the single-surface
// return would break the order of the principal stresses.
bool ReturnShear(const Vec3& tr, const HbParams& m, const Elastic& de, double sinPsi, Vec3& c) {
  // Equal minor (major) stresses, as in a triaxial test, return into the
  // corner straight away.
  const double tie = 1e-12 * m.sci;
  if (tr[1] - tr[2] <= tie) return ReturnTwo(tr, m, de, sinPsi, {0, 2}, {0, 1}, c);
  if (tr[0] - tr[1] <= tie) return ReturnTwo(tr, m, de, sinPsi, {0, 2}, {1, 2}, c);
  bool ok = ReturnOne(tr, m, de, sinPsi, c);
  if (ok && c[1] < c[2]) {  // compression corner: intermediate = minor
    ok = ReturnTwo(tr, m, de, sinPsi, {0, 2}, {0, 1}, c);
  } else if (ok && c[1] > c[0]) {  // extension corner: intermediate = major
    ok = ReturnTwo(tr, m, de, sinPsi, {0, 2}, {1, 2}, c);
  }
  return ok;
}

bool InsideAll(const Vec3& c, const HbParams& m) {
  const double tol = kYieldTol * m.sci * 10.0;
  return HbYield(c[0], c[2], m) <= tol && c[2] >= -m.tension - tol;
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
  bool ok = true;
  if (shear) {
    res.area = 1;
    // The dilatancy follows the confinement of the returned state: a few
    // fixed-point passes, starting from the trial state's confinement (not
    // below zero: a trial deep in tension often returns to a compressed
    // state).
    double sinPsi = MobilisedSinPsi(std::max(tr[2], 0.0), m);
    for (int pass = 0; pass < kPsiPasses; ++pass) {
      ok = ReturnShear(tr, m, de, sinPsi, c);
      const double next = MobilisedSinPsi(c[2], m);
      if (!ok || std::fabs(next - sinPsi) <= 1e-9) break;
      sinPsi = next;
    }
    if (ok && c[2] >= -m.tension) {
      res.c = c;
      return res;
    }
  }
  // Tension cut-off, and the corner with the Hoek-Brown surface when the
  // cut-off alone leaves the state outside it.
  res.area = 2;
  res.tension = true;
  c = ReturnTension(tr, m, de);
  if (!InsideAll(c, m)) c = TensionCorner(c, m);
  res.apex = c[0] - c[2] <= 1e-12 * m.sci;
  res.converged = ok || InsideAll(c, m);
  res.c = c;
  return res;
}

}  // namespace soilcal::models::hoek_brown
