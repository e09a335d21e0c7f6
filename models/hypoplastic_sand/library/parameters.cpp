#include "parameters.hpp"

#include <cmath>
#include <numbers>

namespace hypoplastic {

Parameters ReadParameters(const double* props, std::string* problem) {
  auto at = [props](Slot s) { return props[s - 1]; };
  Parameters p;
  p.phiC = at(kPhiC) * std::numbers::pi / 180.0;
  p.hs = at(kHs);
  p.n = at(kN);
  p.ed0 = at(kEd0);
  p.ec0 = at(kEc0);
  p.ei0 = at(kEi0);
  p.alpha = at(kAlpha);
  p.beta = at(kBeta);
  p.mR = at(kMR);
  p.mT = at(kMT);
  p.R = at(kR);
  p.betaR = at(kBetaR);
  p.chi = at(kChi);
  const double n0 = at(kN0);
  p.e0 = at(kE0) > 0.0 ? at(kE0) : (n0 > 0.0 && n0 < 1.0 ? n0 / (1.0 - n0) : 0.0);
  p.pt = at(kPt);
  if (at(kTolerance) > 0.0) p.tolerance = at(kTolerance);
  p.rho0 = at(kRho0);

  std::string why;
  if (!(at(kPhiC) > 0.0 && at(kPhiC) < 90.0)) why = "phi_c must lie in (0, 90) degrees";
  else if (!(p.hs > 0.0)) why = "hs must be positive";
  else if (!(p.n > 0.0 && p.n <= 1.0)) why = "n must lie in (0, 1]";
  else if (!(p.ed0 > 0.0 && p.ed0 < p.ec0 && p.ec0 < p.ei0)) why = "0 < ed0 < ec0 < ei0 is required";
  else if (!(p.alpha >= 0.0 && p.beta >= 0.0)) why = "alpha and beta must not be negative";
  else if (!(p.mR >= 0.0 && p.mT >= 0.0)) why = "mR and mT must not be negative";
  else if (p.intergranular() && !(p.R > 0.0 && p.chi > 0.0 && p.betaR >= 0.0 && p.mT > 0.0)) {
    why = "with mR > 0, R and chi must be positive, mT positive and beta_r not negative";
  } else if (!(p.e0 > 0.0)) why = "give the start void ratio e0 (or the porosity n0)";
  else if (!(p.pt >= 0.0)) why = "p_t must not be negative";
  else if (!(p.tolerance > 0.0 && p.tolerance <= 0.1)) why = "tolerance must lie in (0, 0.1]";
  else if (!(p.rho0 >= 0.0 && p.rho0 <= 1.0)) why = "rho0 must lie in [0, 1]";
  if (problem != nullptr) *problem = why;
  return p;
}

}  // namespace hypoplastic
