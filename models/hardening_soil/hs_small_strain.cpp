#include "models/hardening_soil/hs_small_strain.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace soilcal::models::hs {
namespace {

// Strain at which the tangent of the hyperbola falls to G_ur.
double CutOffStrain(const SmallStrainParams& p, double a) {
  return (std::sqrt(p.G0 / p.Gur) - 1.0) / a;
}

bool Decays(const SmallStrainParams& p) { return p.gamma07 > 0.0 && p.G0 > p.Gur; }

}  // namespace

SmallStrainParams SmallStrainOf(double Gur, double gref, double g0ref, double gamma07) {
  SmallStrainParams p;
  p.Gur = Gur;
  const double factor = gref > 0.0 ? Gur / gref : 1.0;
  p.G0 = std::max(Gur, g0ref > 0.0 ? g0ref * factor : Gur);
  p.gamma07 = gamma07;
  return p;
}

double SmallStrainTau(double gamma, const SmallStrainParams& p) {
  if (!Decays(p)) return p.Gur * gamma;
  const double a = 0.385 / p.gamma07;
  const double gc = CutOffStrain(p, a);
  if (gamma <= gc) return p.G0 * gamma / (1.0 + a * gamma);
  return p.G0 * gc / (1.0 + a * gc) + p.Gur * (gamma - gc);
}

double SmallStrainTangent(double gamma, const SmallStrainParams& p) {
  if (!Decays(p)) return p.Gur;
  const double a = 0.385 / p.gamma07;
  const double d = 1.0 + a * gamma;
  return std::max(p.Gur, p.G0 / (d * d));
}

double ShearStrainMeasure(const Vec6& e) {
  // Eigenvalues of the deviatoric strain tensor in closed form.
  const double exx = e[0], eyy = e[1], ezz = e[2];
  const double exy = 0.5 * e[3], eyz = 0.5 * e[4], ezx = 0.5 * e[5];
  const double m = (exx + eyy + ezz) / 3.0;
  const double a = exx - m, b = eyy - m, c = ezz - m;
  const double j2 = 0.5 * (a * a + b * b + c * c) + exy * exy + eyz * eyz + ezx * ezx;
  if (j2 <= 0.0) return 0.0;
  const double j3 = a * (b * c - eyz * eyz) - exy * (exy * c - eyz * ezx) +
                    ezx * (exy * eyz - b * ezx);
  const double r = 2.0 * std::sqrt(j2 / 3.0);
  const double arg = std::clamp(1.5 * std::sqrt(3.0) * j3 / (j2 * std::sqrt(j2)), -1.0, 1.0);
  const double theta = std::acos(arg) / 3.0;
  // Largest minus smallest eigenvalue: r (cos(theta) - cos(theta + 2 pi / 3)).
  return r * (std::cos(theta) - std::cos(theta + 2.0 * std::numbers::pi / 3.0));
}

SmallStrainStep AdvanceSmallStrain(const double* hist0, const Vec6& dEps,
                                   const SmallStrainParams& p) {
  SmallStrainStep st;
  const double ev = (dEps[0] + dEps[1] + dEps[2]) / 3.0;
  Vec6 de = dEps;
  for (int i = 0; i < 3; ++i) de[i] -= ev;
  Vec6 h{};
  for (int i = 0; i < 6; ++i) h[i] = hist0 ? hist0[kHistStrain + i] : 0.0;
  double dot = 0.0;
  for (int i = 0; i < 6; ++i) dot += (i < 3 ? 1.0 : 0.5) * h[i] * de[i];
  if (dot < 0.0) {
    st.reversed = true;
    h = Vec6{};
  }
  const double g0 = ShearStrainMeasure(h);
  for (int i = 0; i < 6; ++i) st.hist[i] = h[i] + de[i];
  st.gamma = ShearStrainMeasure(st.hist);
  if (std::fabs(st.gamma - g0) > 1e-15) {
    st.Gsec = (SmallStrainTau(st.gamma, p) - SmallStrainTau(g0, p)) / (st.gamma - g0);
  } else {
    st.Gsec = SmallStrainTangent(g0, p);
  }
  st.Gsec = std::max(st.Gsec, p.Gur);
  st.Gtan = SmallStrainTangent(st.gamma, p);
  return st;
}

}  // namespace soilcal::models::hs
