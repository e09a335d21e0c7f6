// Return of the generalised Hoek-Brown criterion (Hoek, Carranza-Torres and
// Corkum 2002) in principal stresses, elastic perfectly plastic, with a
// non-associated Mohr-Coulomb type plastic potential whose dilatancy fades
// with confinement (Benz, Schwab, Kauther and Vermeer 2008) and a tension
// cut-off. Stresses here are compression positive and ordered
// c[0] >= c[1] >= c[2] (major, intermediate, minor).
#pragma once

#include "models/material.hpp"
#include "models/tensor.hpp"

namespace soilcal::models::hoek_brown {

struct HbParams {
  double sci = 0.0;      // uniaxial compressive strength of the intact rock (slot 31)
  double mb = 0.0;       // slot 45
  double s = 0.0;        // slot 46
  double a = 0.5;        // slot 47
  double tension = 0.0;  // tensile cut-off: slot 41 * s sci / mb (tension positive)
  double psi = 0.0;      // dilatancy angle at zero confinement, radians (slot 48)
  double sigPsi = 1e10;  // confinement at which dilatancy vanishes (slot 49)
  double G = 0.0, nu = 0.0;
};

// Parameters of a completed set for a point with shear modulus G.
HbParams MakeHbParams(const PropSoil& prop, double G);

// f = c_major - c_minor - sci (mb c_minor / sci + s)^a; the bracket is
// taken as 0 below the tensile apex.
double HbYield(double cMajor, double cMinor, const HbParams& m);

// Sine of the mobilised dilatancy angle at minor compressive stress cMinor:
// psi at zero confinement, falling linearly to 0 at sigPsi; in tension it
// rises linearly to 90 degrees at the tensile strength s sci / mb, so that
// the flow turns into the pure tension of the apex.
double MobilisedSinPsi(double cMinor, const HbParams& m);

struct HbReturn {
  Vec3 c{};             // returned principal stresses (compression positive)
  int area = 0;         // 0 elastic, 1 Hoek-Brown surface, 2 tension cut-off
  bool tension = false;
  bool apex = false;
  // False only when no return keeps the flow rule and the state was drawn
  // back towards the apex instead (still admissible).
  bool converged = true;
};

// Returns the principal trial state c (c[0] >= c[1] >= c[2]). Whatever the
// trial state, the returned one is admissible (criterion and cut-off within
// 1e-10 sci) and keeps the order: the shear return first, then the returns
// with the cut-off active alone or in a corner with the criterion, the apex,
// and as a last resort the point where the segment from the apex to the
// trial state leaves the admissible set.
HbReturn ReturnHoekBrown(const Vec3& c, const HbParams& m);

}  // namespace soilcal::models::hoek_brown
