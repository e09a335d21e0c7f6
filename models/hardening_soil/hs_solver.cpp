// The closed-form shear-hardening return and the admissibility check of a
// returned stress.
#include <algorithm>
#include <cmath>

#include "models/hardening_soil/hs_formulas.hpp"
#include "models/hardening_soil/hs_return.hpp"

namespace soilcal::models::hs {
namespace {

double Dot(const P3& a, const P3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Mean(const P3& s) { return (s[0] + s[1] + s[2]) / 3.0; }

}  // namespace

double StressScale(const ReturnInput& in) {
  const P3& t = in.trial;
  return std::max({std::fabs(Mean(t)), t[0] - t[2], in.m->stressFloor, std::fabs(in.m->sigT)});
}

bool ShearReturn(const ReturnInput& in, ReturnResult& out) {
  const Material& m = *in.m;
  const P3& t = in.trial;
  const P3 wq = ShearDeviatorWeights(in.mode);
  const P3 wf = FailureDeviatorWeights(in.mode, m.sinPhi);
  const P3 db = ElasticChange(ShearFlow(in.mode, m.sinPsiM), m);
  // q, q_a and gamma_p are linear in lambda along s = s_tr - lambda D b.
  const double qt = Dot(wq, t), aq = Dot(wq, db);
  const double qat = (Dot(wf, t) + 2.0 * m.cCosPhi) / (1.0 - m.sinPhi) / m.rf;
  const double aa = Dot(wf, db) / (1.0 - m.sinPhi) / m.rf;
  const double A = 2.0 / m.Ei, B = 2.0 / m.Eur;
  const double g0 = in.start.gammaP + in.gammaExtra, gr = in.gammaRate;
  // A q q_a - (B q + g)(q_a - q) = 0, a quadratic c2 l^2 + c1 l + c0.
  const double u0 = B * qt + g0, u1 = gr - B * aq;
  const double dt = qat - qt, ad = aa - aq;
  const double c0 = A * qt * qat - u0 * dt;
  const double c1 = -A * (qt * aa + aq * qat) - u1 * dt + u0 * ad;
  const double c2 = A * aq * aa + u1 * ad;
  double roots[2];
  int nRoots = 0;
  if (std::fabs(c2) <= 1e-14 * std::fabs(c1)) {
    if (c1 != 0.0) roots[nRoots++] = -c0 / c1;
  } else {
    const double disc = c1 * c1 - 4.0 * c2 * c0;
    if (disc < 0.0) return false;
    const double qq = -0.5 * (c1 + std::copysign(std::sqrt(disc), c1));
    if (qq != 0.0) roots[nRoots++] = c0 / qq;
    roots[nRoots++] = qq / c2;
  }
  double best = -1.0;
  for (int i = 0; i < nRoots; ++i) {
    const double l = roots[i];
    const double q = qt - aq * l, qa = qat - aa * l;
    // Keep roots on the hyperbola's branch: q >= 0 and below the asymptote.
    if (!(l >= 0.0) || q < 0.0 || qa - q <= 0.0) continue;
    if (best < 0.0 || l < best) best = l;
  }
  if (best < 0.0) return false;
  for (int k = 0; k < 3; ++k) out.sig[k] = t[k] - best * db[k];
  out.state = in.start;
  out.state.gammaP = g0 + gr * best;
  out.lambda = {best, 0.0, 0.0, 0.0};
  out.converged = true;
  return true;
}

bool Admissible(const ReturnInput& in, const ActiveSet& set, const ReturnResult& r,
                bool checkCap, bool checkShear) {
  const Material& m = *in.m;
  const double sc = StressScale(in);
  const double tol = 1e-9 * sc;
  const P3& s = r.sig;
  if (s[1] > s[0] + tol || s[2] > s[1] + tol) return false;
  constexpr Mech kPlanes[] = {Mech::kT1, Mech::kT2, Mech::kT3, Mech::kM13, Mech::kM12, Mech::kM23};
  for (Mech k : kPlanes) {
    if (set.Has(k)) continue;
    const bool isPlane = k == Mech::kM13 || k == Mech::kM12 || k == Mech::kM23;
    if (isPlane && !m.mcFailure) continue;
    const Plane pl = LinearSurface(k, m);
    if (Dot(pl.n, s) - pl.k > tol) return false;
  }
  if (checkShear && !set.Has(Mech::kShear) && !set.HasFailurePlane() &&
      r.state.gammaP < 99999.0) {
    const ShearValue v = Shear(s, in.mode, m);
    if (v.beyond) return false;
    if (v.f > r.state.gammaP + 1e-9 * std::max(std::fabs(r.state.gammaP), 1e-6)) return false;
  }
  if (checkCap && m.H > 0.0 && !set.Has(Mech::kCap)) {
    if (CapSize(s, in.mode, m) > r.state.pc * (1.0 + 1e-9) + 1e-12 * sc) return false;
  }
  return true;
}

}  // namespace soilcal::models::hs
