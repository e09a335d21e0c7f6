// NGI-ADP: undrained, anisotropic shear strength of clay in total stresses
// (Grimstad, Andresen and Jostad 2012). A Tresca-like surface in a shifted
// deviatoric stress space whose centre and size harden with the plastic
// shear strain up to the peak strains measured in triaxial compression,
// triaxial extension and direct simple shear.
//
// Parameter slots (after CopySoilProp and the per-test completion):
//   2 nu (kept in 42), 28 nu_u (kept in 43), 4 s_u^A at the reference depth,
//   6 reference depth y_ref, 7 increase of s_u^A with depth, 31 G_ur/s_u^A,
//   33 s_u^P and 34 s_u^DSS at the reference depth, 36 s_u^P/s_u^A,
//   37 s_u^DSS/s_u^A, 38, 39, 40 peak shear strains gamma_f^C, gamma_f^E,
//   gamma_f^DSS in percent, 41 tau0/s_u^A, 44 s_u^C,TX/s_u^A (1 when 0).
// The y axis is vertical: triaxial tests load along y, simple shear is xy.
#pragma once

#include "models/material.hpp"
#include "models/tensor.hpp"

namespace soilcal::models::ngi_adp {

// Model state beyond PointMatState: the hardening variable xi (plastic
// shear strain over its peak value, 1 at peak) and the plastic shear
// strain gamma^p accumulated so far.
inline constexpr int kXi = 0;
inline constexpr int kGammaP = 1;
inline constexpr int kStateVars = 2;

// Material constants of one stress point.
struct Params {
  double suA = 0.0;       // plane-strain active strength at the point
  double suP = 0.0;       // plane-strain passive and triaxial extension strength
  double suDSS = 0.0;     // direct simple shear strength
  double suCTX = 0.0;     // triaxial compression strength
  double tau0 = 0.0;      // initial shear stress (sigma_x - sigma_y)/2 of the centre
  double G = 0.0;         // unloading shear modulus
  double radius = 0.0;    // (s_u^A + s_u^P)/2
  double tauC = 0.0;      // centre at peak: (s_u^A - s_u^P)/2
  double shearScale = 1.0;  // radius / s_u^DSS: weight of the xy and yz shear
  double a1C = 1.0;       // shape of the compression side of the pi-plane section
  double a1E = 1.0;       // shape of the extension side
  double a1 = 1.0;        // shape factor as derived (checked by the initialisation)
  double gpfC = 0.0, gpfE = 0.0, gpfDSS = 0.0;  // peak plastic shear strains
};

// Constants of a point whose strength s_u^A is suA (CoheSi of the point) and
// whose shear modulus is G.
Params MakeParams(const PropSoil& prop, double suA, double G);

// Hardening: kappa = 2 sqrt(xi)/(1 + xi) below the peak, 1 beyond.
double Kappa(double xi);
// Inverse of Kappa on [0, 1].
double XiOfKappa(double kappa);

// Yield function and flow direction at a stress for a mobilisation kappa.
struct Surface {
  double F = 0.0;      // sqrt(H J2) - kappa * radius
  double f = 0.0;      // sqrt(H J2) of the shifted stress
  Vec6 n{};            // dF/dsigma (engineering shear components)
  double dFdKappa = 0.0;  // partial derivative at fixed stress (negative)
  double gammaRate = 0.0; // plastic shear strain (max - min principal) per unit multiplier
  double peak = 0.0;      // peak plastic shear strain of the current loading direction
};
Surface Evaluate(const Params& p, const Vec6& sig, double kappa, bool withGradient);

// Mobilisation of the initial stress: the smallest kappa in [0, 1] whose
// surface holds `sig` (1 when the stress lies beyond the peak surface).
double InitialKappa(const Params& p, const Vec6& sig);

// Result of one return of the stress routine.
struct Return {
  Vec6 sig{};
  double xi = 0.0;
  double gammaP = 0.0;
  int iArea = 0;       // 0 elastic, 1 peak surface, 5 hardening
  bool failed = false; // no convergence
};
// Return of the trial stress `sigE` to the hardening surface for the state
// (xi0, gammaP0) by cutting-plane iterations; elastic when inside it.
Return NgiAdpReturn(const Params& p, const Vec6& sigE, double xi0, double gammaP0);

}  // namespace soilcal::models::ngi_adp
