// A single Hardening Soil point driven by strain increments through the
// stress routine, with the checks of its surfaces in closed form. Tension
// positive outside, as the program's stress vectors.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "models/hardening_soil/hs_model.hpp"
#include "models/hardening_soil/hs_small_strain.hpp"
#include "models/principal.hpp"
#include "models/stress_call.hpp"

namespace soilcal::models::testing {

// A typical medium-dense sand at 100 kPa: E50 = 20 MPa, Eur = 60 MPa,
// Eoed = 20 MPa, m = 0.5, phi = 30 deg, psi = 0, c = 0, Rf = 0.9, nu = 0.2.
inline PropSoil SandProps() {
  PropSoil p;
  const std::pair<int, double> slots[] = {
      {1, 60000.0 / (2.0 * 1.2)}, {2, 0.2}, {3, 0.5},  // 1: Gref from Eur,ref and nu; 3: sin 30
      {4, 0.0}, {5, 0.0}, {16, 0.0}, {34, 0.5}, {35, 100.0}, {37, 0.9}, {38, 20000.0},
      {39, -1.0}, {40, 20000.0}, {20, 0.4}, {21, 0.0}, {22, 1.0}};  // 39: K0nc from Jaky
  for (const auto& [slot, value] : slots) p[slot] = value;
  return p;
}

// Cap parameters worked out by hand for SandProps (the library test checks
// what the library gives); used where a test needs a cap but not the library.
inline void SetCap(PropSoil& p, double alpha, double ksKc) {
  p[31] = alpha;
  p[32] = ksKc;
  p[36] = p[40] / ((2.0 - p[37]) * (1.0 + p[2]));
  if (p[39] < 0.0) p[39] = 1.0 - p[3];
}

struct HsPoint {
  PropSoil prop;
  ModelConstants k;
  int model = 6;
  Vec6 sig{};
  PointMatState pms;
  std::array<double, kStateCapacity> stVar0{};
  int step = 0;

  HsPoint(const PropSoil& p, const Vec6& initial, int modelNumber = 6)
      : prop(p), model(modelNumber), sig(initial) {
    Refresh();
    PointInitCall init{.prop = &prop, .k = &k, .model = model, .initialStress = initial,
                       .preconsolidation = PrincipalStresses(initial).s[0], .pms = &pms,
                       .stVar = stVar0.data() + kModelStateOffset, .nStat = hs::kSmallStrainVars};
    hs::InitPoint(init);
  }

  double CCosPhi() const { return prop[4] * std::sqrt(1.0 - prop[3] * prop[3]); }

  // GenMat before each step: modulus and strength values of the stress.
  void Refresh() {
    pms.G = hs::GenMatShearModulus({.prop = &prop, .k = &k, .model = model, .stress = sig});
    pms.SPhi = prop[3];
    pms.CoheSi = CCosPhi();
    pms.CCotPhi = prop[3] > 0.0 ? pms.CoheSi / prop[3] : 1e10;
  }

  // The stress routine for an increment from the committed state.
  StressCall Try(const Vec6& dEps, std::array<double, kStateCapacity>* stVarEnd = nullptr) const {
    StressCall c;
    c.model = model;
    c.prop = &prop;
    c.k = &k;
    c.sig0 = sig;
    c.dEps = dEps;
    c.D = IsotropicElasticMatrix(pms.G, prop[2]);
    const Vec6 ds = MatVec(c.D, dEps);
    for (int i = 0; i < 6; ++i) c.sigE[i] = sig[i] + ds[i];
    c.sigC = c.sigE;
    c.SPhi = pms.SPhi;
    c.SPsi = std::min(prop[5], pms.SPhi);
    c.CoheSi = pms.CoheSi;
    c.Tens = prop[16];
    c.G = pms.G;
    c.nu = prop[2];
    c.step = step + 1;
    c.iter = 1;
    c.pms0 = pms;
    c.pms = pms;
    c.stVar0 = stVar0.data();
    c.stVar = stVarEnd ? stVarEnd->data() : nullptr;
    c.nStat = hs::kSmallStrainVars;
    ModelResources res;
    hs::Stress(c, res);
    return c;
  }

  // One accepted step: stress, record and state variables committed.
  StressCall Step(const Vec6& dEps) {
    Refresh();
    std::array<double, kStateCapacity> end = stVar0;
    StressCall c = Try(dEps, &end);
    sig = c.sigC;
    pms = c.pms;
    stVar0 = end;
    ++step;
    return c;
  }

  // Drained triaxial step: axial (yy) strain prescribed, the lateral
  // stresses held at `lateral` by bisection on the lateral strain (the
  // lateral stress rises monotonically with the lateral compression).
  StressCall TriaxialStep(double dEpsAxial, double lateral) {
    Refresh();
    auto residual = [&](double e) {
      return -Try({e, dEpsAxial, e, 0, 0, 0}).sigC[0] - lateral;
    };
    double lo = -std::fabs(dEpsAxial) - 1e-3, hi = std::fabs(dEpsAxial) + 1e-3;
    while (residual(lo) < 0.0) lo *= 2.0;
    while (residual(hi) > 0.0) hi *= 2.0;
    for (int it = 0; it < 200 && hi - lo > 1e-18; ++it) {
      const double mid = 0.5 * (lo + hi);
      (residual(mid) > 0.0 ? lo : hi) = mid;
    }
    const double e = 0.5 * (lo + hi);
    return Step({e, dEpsAxial, e, 0, 0, 0});
  }
};

// Compression-positive sorted principal stresses of a stress vector.
inline std::array<double, 3> CompressionPrincipal(const Vec6& s) {
  const Principal p = PrincipalStresses(s);
  return {-p.s[0], -p.s[1], -p.s[2]};
}

// The shear-hardening function of the model in closed form (general form):
// (2/E_i) q/(1 - q/q_a) - 2q/E_ur with E_i/E_ur = G_i,ref/G_ref.
inline double HyperbolaOf(const std::array<double, 3>& s, const PropSoil& p, double G) {
  const double sinPhi = p[3], cCos = p[4] * std::sqrt(1.0 - sinPhi * sinPhi);
  const double eur = 2.0 * G * (1.0 + p[2]);
  const double ei = eur * p[36] / p[1];
  const double q = s[0] - s[2];
  const double qa = 2.0 * (s[2] * sinPhi + cCos) / (1.0 - sinPhi) / p[37];
  return 2.0 / ei * q / (1.0 - q / qa) - 2.0 * q / eur;
}

inline double CapSizeOf(const std::array<double, 3>& s, const PropSoil& p) {
  const double d = (3.0 + p[3]) / (3.0 - p[3]);
  const double qt = s[0] + (d - 1.0) * s[1] - d * s[2];
  const double pm = (s[0] + s[1] + s[2]) / 3.0;
  return std::sqrt(pm * pm + qt * qt / (p[31] * p[31]));
}

inline double MohrCoulombOf(const std::array<double, 3>& s, const PropSoil& p) {
  const double sinPhi = p[3], cCos = p[4] * std::sqrt(1.0 - sinPhi * sinPhi);
  return 0.5 * (s[0] - s[2]) - 0.5 * (s[0] + s[2]) * sinPhi - cCos;
}

}  // namespace soilcal::models::testing
