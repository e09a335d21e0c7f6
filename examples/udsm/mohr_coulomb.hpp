// Linear elastic, perfectly plastic Mohr-Coulomb model with a tension
// cut-off, integrated by a closed-form return in principal stress space.
#pragma once

#include "elastic.hpp"
#include "principal.hpp"

namespace usermod {

struct MohrCoulombParameters {
  Elasticity elastic;
  double c = 0.0;         // cohesion
  double phiDeg = 0.0;    // friction angle (degrees)
  double psiDeg = 0.0;    // dilatancy angle (degrees); used as min(psi, phi)
  double tensile = 0.0;   // tensile strength; at most c cot(phi)
};

// Plasticity indicator of a return.
enum Plasticity { kElastic = 0, kShear = 1, kTension = 2, kApex = 3 };

struct MohrCoulombResult {
  Vec6 sig{};
  int ipl = kElastic;
};

// Stress at the end of the step for the elastic trial stress `trial`.
MohrCoulombResult MohrCoulombReturn(const MohrCoulombParameters& p, const Vec6& trial);

}  // namespace usermod
