// The parameters of hypoplastic sand with intergranular strain, read from the
// user-model parameters Props (user parameter i is Props[i-1]).
#pragma once

#include <string>

namespace hypoplastic {

// User parameter numbers (1-based, as DescribeUserModel declares them).
enum Slot {
  kPhiC = 1, kHs, kN, kEd0, kEc0, kEi0, kAlpha, kBeta,
  kMR, kMT, kR, kBetaR, kChi, kE0, kN0, kPt, kTolerance, kRho0,
  kSlotCount = kRho0
};

struct Parameters {
  double phiC = 0.0;  // critical friction angle, radians
  double hs = 0.0;    // granular hardness, stress
  double n = 0.0;     // exponent of the compression law
  double ed0 = 0.0, ec0 = 0.0, ei0 = 0.0;  // limit void ratios at zero pressure
  double alpha = 0.0, beta = 0.0;          // pyknotropy exponents
  double mR = 0.0, mT = 0.0;  // stiffness factors on reversal and on a 90 degree turn
  double R = 0.0;             // size of the elastic range (strain)
  double betaR = 0.0, chi = 0.0;
  double e0 = 0.0;            // start void ratio (from e0, else from the porosity n0)
  double pt = 0.0;            // shift of the mean stress (a small cohesion)
  double tolerance = 1e-4;    // relative error allowed per substep
  // Start of the intergranular strain: ||delta|| / R along the direction of
  // the start stress (0: delta = 0, as on a reversal; 1: saturated, as after
  // a proportional compression such as an isotropic consolidation).
  double rho0 = 0.0;
  bool intergranular() const { return mR > 0.0; }
};

// Reads and checks Props; `problem` names the first value out of its range
// ("" when all are valid). Values are taken as the TOML job gives them
// (phi_c in degrees).
Parameters ReadParameters(const double* props, std::string* problem);

}  // namespace hypoplastic
