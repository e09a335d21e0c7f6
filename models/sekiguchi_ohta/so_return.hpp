// Return of the Sekiguchi-Ohta model (Sekiguchi and Ohta 1977). With p the
// compressive mean stress, s the deviator and eta0 the stress ratio tensor of
// K0 consolidation, the yield function is
//   f = MD ln(p / pc) + D eta*,   eta* = sqrt(3/2 |s/p - eta0|^2),
// MD = lambda* - kappa*, and pc grows with the plastic volumetric
// compression as pc = pc_start exp(eps_vp / MD). The flow rule is
// associated; eta* has a vertex at s/p = eta0, where the deviatoric plastic
// strain may take any direction of the normal cone, which keeps the K0
// state of one-dimensional compression.
//
// The viscid form (Sekiguchi 1977) replaces f = 0 by the rate law
//   d(eps_vp)/dt = v0 exp(f / alpha),
// whose integral under constant stress creeps as alpha ln t. A step of
// length dt is integrated implicitly: f = alpha ln(d eps_vp / (v0 dt)).
#pragma once

#include "models/tensor.hpp"

namespace soilcal::models::sekiguchi_ohta {

struct SoParams {
  double M = 1.0;
  double MD = 0.0;        // lambda* - kappa*
  double D = 0.0;         // MD / M
  double K = 0.0, G = 0.0;
  Vec6 eta0{};            // K0 stress ratio tensor (deviator over p, tension positive)
  double alpha = 0.0;     // viscid: secondary compression coefficient (0: inviscid)
  double v0dt = 0.0;      // viscid: initial volumetric strain rate times dt
};

struct SoReturn {
  Vec6 sig{};             // returned stress (tension positive)
  double pc = 0.0;        // hardening pressure at the end
  double dEpsVp = 0.0;    // plastic volumetric compression of the step
  bool plastic = false;
  bool vertex = false;    // returned to s/p = eta0
  bool tension = false;   // no positive mean pressure left
  bool converged = true;
};

// eta* of a stress.
double EtaStar(const Vec6& sig, const Vec6& eta0);
// f of a stress for hardening pressure pc (p at least `floor`).
double SoYield(const Vec6& sig, double pc, const SoParams& m, double floor);

// K0 stress ratio tensor with the vertical direction `axis` (0, 1, 2):
// -2/3 eta_K0 along it, 1/3 eta_K0 across.
Vec6 K0RatioTensor(double etaK0, int axis);

// Corrects the elastic trial stress sigTr for hardening pressure pcStart.
SoReturn ReturnSekiguchiOhta(const Vec6& sigTr, double pcStart, const SoParams& m,
                             double floor);

}  // namespace soilcal::models::sekiguchi_ohta
