// Closed-form return of the Mohr-Coulomb model with tension cut-off in
// principal stress space (s1 <= s2 <= s3, tension positive). The six yield
// functions, the region functions that pick the return zone, and the
// corrections of zones 1 to 9. MC_Sig (mc_sig.hpp) wraps this with the
// decomposition of the trial stress and the rotation back.
#pragma once

#include "models/tensor.hpp"

namespace soilcal::models::mohr_coulomb {

// Strength and stiffness of one return.
struct McParams {
  double s = 0.0;   // sin(phi), at most 0.999
  double d = 0.0;   // sin(psi)
  double cc = 0.0;  // c cos(phi)
  double T = 0.0;   // tensile strength
  double G = 0.0;   // shear modulus
  double nu = 0.0;  // Poisson's ratio
};

// The three Mohr-Coulomb and three tension functions of a principal state.
struct McFunctions {
  double F21 = 0.0, F32 = 0.0, F31 = 0.0;
  double FT1 = 0.0, FT2 = 0.0, FT3 = 0.0;
  bool AllAtMost(double bound) const {
    return F21 <= bound && F32 <= bound && F31 <= bound && FT1 <= bound && FT2 <= bound &&
           FT3 <= bound;
  }
};

// Inline: evaluated several times per stress-point call.
inline McFunctions YieldFunctions(const Vec3& sig, const McParams& m) {
  const double s1 = sig[0], s2 = sig[1], s3 = sig[2];
  McFunctions f;
  f.F21 = 0.5 * (s2 - s1) + 0.5 * (s2 + s1) * m.s - m.cc;
  f.F32 = 0.5 * (s3 - s2) + 0.5 * (s3 + s2) * m.s - m.cc;
  f.F31 = 0.5 * (s3 - s1) + 0.5 * (s3 + s1) * m.s - m.cc;
  f.FT1 = s1 - m.T;
  f.FT2 = s2 - m.T;
  f.FT3 = s3 - m.T;
  return f;
}

// sigma1 on the Mohr-Coulomb plane when sigma3 = T.
inline double Sigma1Star(const McParams& m) {
  return ((1.0 + m.s) * m.T - 2.0 * m.cc) / (1.0 - m.s);
}

// Return zone of a plastic trial state: 1..8, or 0 when no zone applies.
int FindReturnZone(const Vec3& sig, const McParams& m);

struct McReturn {
  Vec3 sig{};           // corrected principal stresses
  int zone = 0;         // zone of the correction actually applied (0: none)
  int foundZone = 0;    // zone the region tests picked
  bool tension = false;
  bool apex = false;
};

// Corrects a plastic trial state (F31 or FT3 positive). Anomalies (negative
// multipliers, no zone, residual function values) are written to unit 2 with
// the point number `intGlo` when the diagnostic channel is on.
McReturn ReturnPrincipalStresses(const Vec3& sig, const McParams& m, int intGlo);

}  // namespace soilcal::models::mohr_coulomb
