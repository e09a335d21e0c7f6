// Yield surfaces, flow directions and stress-dilatancy of the Hardening Soil
// models in compression-positive principal space.
#include <algorithm>
#include <cmath>

#include "models/hardening_soil/hs_formulas.hpp"
#include "models/hardening_soil/hs_return.hpp"
#include "services/diag.hpp"

namespace soilcal::models::hs {

P3 ShearDeviatorWeights(int mode) {
  switch (mode) {
    case kModeEdge23: return {1.0, -0.5, -0.5};
    case kModeEdge12: return {0.5, 0.5, -1.0};
    default: return {1.0, 0.0, -1.0};
  }
}

P3 FailureDeviatorWeights(int mode, double sinPhi) {
  if (mode == kModeEdge23) return {0.0, sinPhi, sinPhi};
  return {0.0, 0.0, 2.0 * sinPhi};
}

P3 ShearFlow(int mode, double sinPsi) {
  switch (mode) {
    case kModeEdge23:
      return {0.5 * (1.0 - sinPsi), -0.25 * (1.0 + sinPsi), -0.25 * (1.0 + sinPsi)};
    case kModeEdge12:
      return {0.25 * (1.0 - sinPsi), 0.25 * (1.0 - sinPsi), -0.5 * (1.0 + sinPsi)};
    default: return {0.5 * (1.0 - sinPsi), 0.0, -0.5 * (1.0 + sinPsi)};
  }
}

// On an edge the cap deviator keeps its value of the general form, and its
// gradient is the mean of the gradients of the two faces that meet there.
P3 CapWeights(int mode, double delta) {
  switch (mode) {
    case kModeEdge23: return {1.0, -0.5, -0.5};
    case kModeEdge12: return {0.5 * delta, 0.5 * delta, -delta};
    default: return {1.0, delta - 1.0, -delta};
  }
}

P3 ElasticChange(const P3& b, const Material& m) {
  const double lame = m.bulk - 2.0 * m.G / 3.0;
  const double tr = b[0] + b[1] + b[2];
  return {2.0 * m.G * b[0] + lame * tr, 2.0 * m.G * b[1] + lame * tr,
          2.0 * m.G * b[2] + lame * tr};
}

static double Dot3(const P3& a, const P3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

ShearValue Shear(const P3& s, int mode, const Material& m) {
  ShearValue v;
  v.q = Dot3(ShearDeviatorWeights(mode), s);
  v.qf = (Dot3(FailureDeviatorWeights(mode, m.sinPhi), s) + 2.0 * m.cCosPhi) / (1.0 - m.sinPhi);
  v.qa = v.qf / m.rf;
  v.nearAsymptote = v.q > 0.25 * (3.0 * v.qa + v.qf);
  if (v.qa <= 0.0 || v.q > 0.999 * v.qa) {
    v.beyond = true;
    v.f = 1e30;
    return v;
  }
  v.f = HyperbolaGamma(v.q, v.qa, m.Ei, m.Eur);
  return v;
}

double Fmc(const P3& s, const Material& m) {
  return 0.5 * (s[0] - s[2]) - 0.5 * (s[0] + s[2]) * m.sinPhi - m.cCosPhi;
}

double CapDeviator(const P3& s, int mode, double delta) {
  switch (mode) {
    case kModeEdge23: return s[0] - delta * s[1] + (delta - 1.0) * s[2];
    case kModeEdge12: return s[1] - s[0] + (s[0] - s[2]) * delta;
    default: return s[0] + (delta - 1.0) * s[1] - delta * s[2];
  }
}

double CapSize(const P3& s, int mode, const Material& m) {
  const double p = (s[0] + s[1] + s[2]) / 3.0;
  return CapRadius(p, CapDeviator(s, mode, m.delta), m.alpha2);
}

double MobilisedDilatancy(const P3& s, double sinPhi, double sinPsi, double cCotPhi, bool capOn,
                          bool cutOff) {
  if (sinPhi < 1e-10 || cutOff) return 0.0;
  const double den = s[0] + s[2] + 2.0 * cCotPhi;
  double sinPhiM = 1e10;
  if (den == 0.0) {
    if (services::Diag().on()) services::Diag().Line(" (Sig1+Sig3+2*CCotPhi) = 0");
  } else {
    sinPhiM = (s[0] - s[2]) / den;
  }
  sinPhiM = std::clamp(sinPhiM, sinPhi / (2.0 - sinPhi), sinPhi);
  const double sinPhiCv = (sinPhi - sinPsi) / (1.0 - sinPhi * sinPsi);
  double sinPsiM = (sinPhiM - sinPhiCv) / (1.0 - sinPhiM * sinPhiCv);
  if (sinPhiM < 0.75 * sinPhi) sinPsiM = 0.0;
  if (capOn) sinPsiM = std::max(sinPsiM, sinPsi < -1e-10 ? sinPsi : 0.0);
  return sinPsiM;
}

P3 ProjectToMode(const P3& s, int mode) {
  if (mode == kModeEdge23) {
    const double a = 0.5 * (s[1] + s[2]);
    return {s[0], a, a};
  }
  if (mode == kModeEdge12) {
    const double a = 0.5 * (s[0] + s[1]);
    return {a, a, s[2]};
  }
  return s;
}

Plane LinearSurface(Mech kind, const Material& m) {
  const double sp = m.sinPhi;
  const double ps = m.sinPsiM;
  Plane pl;
  switch (kind) {
    case Mech::kM13:
      pl.n = {0.5 * (1.0 - sp), 0.0, -0.5 * (1.0 + sp)};
      pl.b = {0.5 * (1.0 - ps), 0.0, -0.5 * (1.0 + ps)};
      pl.k = m.cCosPhi;
      break;
    case Mech::kM12:
      pl.n = {0.5 * (1.0 - sp), -0.5 * (1.0 + sp), 0.0};
      pl.b = {0.5 * (1.0 - ps), -0.5 * (1.0 + ps), 0.0};
      pl.k = m.cCosPhi;
      break;
    case Mech::kM23:
      pl.n = {0.0, 0.5 * (1.0 - sp), -0.5 * (1.0 + sp)};
      pl.b = {0.0, 0.5 * (1.0 - ps), -0.5 * (1.0 + ps)};
      pl.k = m.cCosPhi;
      break;
    case Mech::kT1: pl.n = pl.b = {-1.0, 0.0, 0.0}; pl.k = -m.sigT; break;
    case Mech::kT2: pl.n = pl.b = {0.0, -1.0, 0.0}; pl.k = -m.sigT; break;
    case Mech::kT3: pl.n = pl.b = {0.0, 0.0, -1.0}; pl.k = -m.sigT; break;
    default: break;
  }
  return pl;
}

Plane LinearSurface(Mech kind, const Material& m, int mode) {
  Mech partner = kind;
  if (mode == kModeEdge23 && kind == Mech::kM13) partner = Mech::kM12;
  if (mode == kModeEdge23 && kind == Mech::kT3) partner = Mech::kT2;
  if (mode == kModeEdge12 && kind == Mech::kM13) partner = Mech::kM23;
  const Plane a = LinearSurface(kind, m);
  if (partner == kind) return a;
  const Plane b = LinearSurface(partner, m);
  Plane pl;
  for (int i = 0; i < 3; ++i) {
    pl.n[i] = 0.5 * (a.n[i] + b.n[i]);
    pl.b[i] = 0.5 * (a.b[i] + b.b[i]);
  }
  pl.k = a.k;
  return pl;
}

}  // namespace soilcal::models::hs
