// Element tests on the equations alone, for the model's tests and the
// Karlsruhe study: the published parameters of Karlsruhe fine sand and a
// drained triaxial driver (axial strain prescribed, cell pressure held) on
// the integration of the library's core. Tension positive: y is the axial
// direction, x and z the radial ones. Not part of the library's C entry.
#pragma once

#include <cmath>
#include <numbers>

#include "integrate.hpp"

namespace hypoplastic::element {

// Karlsruhe fine sand as published (von Wolffersdorff's set used for this
// sand; Niemunis and Herle's intergranular strain), stresses in kPa.
inline Parameters KarlsruheFineSand(bool intergranular) {
  Parameters p;
  p.phiC = 33.1 * std::numbers::pi / 180.0;
  p.hs = 4.0e6;
  p.n = 0.27;
  p.ed0 = 0.677;
  p.ec0 = 1.054;
  p.ei0 = 1.212;
  p.alpha = 0.14;
  p.beta = 2.5;
  if (intergranular) {
    p.mR = 2.2;
    p.mT = 1.1;
    p.R = 1e-4;
    p.betaR = 0.1;
    p.chi = 5.5;
  }
  p.tolerance = 1e-5;
  return p;
}

inline State Isotropic(double pressure, double e) {
  State s;
  s.T << -pressure, -pressure, -pressure, 0, 0, 0;
  s.e = e;
  return s;
}

// The start state the library gives a point at an isotropic stress.
inline State Start(const Parameters& p, double pressure, double e) {
  State s = Isotropic(pressure, e);
  s.delta = StartIntergranularStrain(p, s.T);
  return s;
}

inline double Mean(const State& s) { return -(s.T[0] + s.T[1] + s.T[2]) / 3.0; }
inline double Deviator(const State& s) { return s.T[0] - s.T[1]; }  // radial - axial
// Mobilised friction angle in triaxial compression, degrees.
inline double Mobilised(const State& s) {
  const double s1 = -s.T[1], s3 = -s.T[0];
  return std::asin((s1 - s3) / (s1 + s3)) * 180.0 / std::numbers::pi;
}

// Strain increment of a triaxial step: axial da, radial dr (both tension positive).
inline Sym Triaxial(double da, double dr) { return (Sym() << dr, da, dr, 0, 0, 0).finished(); }

// One drained triaxial step: the axial strain grows by `da` (negative in
// compression) and the radial strain is found so that the radial stress
// ends at -cellPressure (secant iterations on the integrated stress).
// `radial` carries the radial strain of the last step as the first guess.
inline bool DrainedStep(const Parameters& p, State& s, double da, double cellPressure,
                        double& radial) {
  auto residual = [&](double dr, State* out) {
    const StepResult r = Integrate(p, s, Triaxial(da, dr));
    if (out) *out = r.end;
    return r.ok ? r.end.T[0] + cellPressure : std::nan("");
  };
  double x0 = radial, x1 = radial + 0.1 * std::abs(da) + 1e-9;
  double f0 = residual(x0, nullptr), f1 = residual(x1, nullptr);
  for (int k = 0; k < 50 && std::isfinite(f1); ++k) {
    if (std::abs(f1) < 1e-9 * cellPressure || f1 == f0) break;
    const double x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
    x0 = x1, f0 = f1, x1 = x2;
    f1 = residual(x1, nullptr);
  }
  if (!std::isfinite(f1) || std::abs(f1) > 1e-6 * cellPressure) return false;
  radial = x1;
  residual(x1, &s);
  return true;
}

}  // namespace hypoplastic::element
