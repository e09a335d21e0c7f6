// The Hardening Soil stress return in principal space.
//
// Principal stresses are compression-positive and sorted s[0] >= s[1] >= s[2].
// Three mechanisms limit the stress:
//   shear hardening  f  = (2/E_i) q/(1 - q/q_a) - 2q/E_ur - gamma_p   (driven by gamma_p)
//   cap              fc = qt^2/alpha^2 + p^2 - pc^2                     (driven by pc)
//   failure          Mohr-Coulomb planes and the tension limit s >= sigma_t
// A return solves for the plastic multipliers of the active surfaces; the
// plastic flow is sin(psi_m) for shear and Mohr-Coulomb, associated on the cap
// and on the tension planes.
#pragma once

#include <array>

namespace soilcal::models::hs {

using P3 = std::array<double, 3>;

// Principal configuration of a return: 2 general, 1 the edge s2 = s3
// (triaxial compression), 3 the edge s1 = s2 (triaxial extension).
inline constexpr int kModeEdge23 = 1;
inline constexpr int kModeGeneral = 2;
inline constexpr int kModeEdge12 = 3;

// Values of one call, derived from the point's moduli and the set.
struct Material {
  double G = 0.0;         // elastic shear modulus of the return
  double nu = 0.0;
  double bulk = 0.0;      // elastic bulk modulus of the return
  double Eur = 0.0;       // unloading-reloading modulus of the hardening law
  double Ei = 0.0;        // initial modulus of the hyperbola
  double H = -1.0;        // cap hardening modulus; not positive: no cap
  double sinPhi = 0.0;
  double cCosPhi = 0.0;
  double cCotPhi = 1e10;
  double rf = 0.9;
  double delta = 1.0;
  double alpha2 = 1.0;    // squared cap shape factor
  double sigT = 0.0;      // tension limit (compression positive, usually < 0)
  double sinPsiM = 0.0;   // mobilised dilatancy of the call
  bool mcFailure = true;  // Mohr-Coulomb failure planes present
  double stressFloor = 1.0;
};

struct Hardening {
  double gammaP = 0.0;
  double pc = 0.0;
};

// Shear hardening function without gamma_p in a mode.
struct ShearValue {
  double q = 0.0;
  double qf = 0.0;
  double qa = 0.0;
  double f = 0.0;           // 1e30 when the hyperbola is left
  bool beyond = false;      // q > 0.999 q_a (or no positive q_a)
  bool nearAsymptote = false;  // q > (3 q_a + q_f) / 4
};

ShearValue Shear(const P3& s, int mode, const Material& m);
// Mohr-Coulomb function of the major and minor principal stresses.
double Fmc(const P3& s, const Material& m);
// Cap deviator qt of the mode and the cap size through s.
double CapDeviator(const P3& s, int mode, double delta);
double CapSize(const P3& s, int mode, const Material& m);
// Mobilised dilatancy of a trial stress (stress-dilatancy with its clamp).
double MobilisedDilatancy(const P3& s, double sinPhi, double sinPsi, double cCotPhi, bool capOn,
                          bool cutOff);
// The stress with the pair of an edge mode replaced by its mean (the
// general mode leaves it as it is).
P3 ProjectToMode(const P3& s, int mode);

// Linear forms of a mode: q = wq.s and q_f = (wf.s + 2 c cos(phi))/(1 - sin(phi)).
P3 ShearDeviatorWeights(int mode);
P3 FailureDeviatorWeights(int mode, double sinPhi);
// Plastic flow of the shear mechanism in a mode (compression positive).
P3 ShearFlow(int mode, double sinPsi);
// Gradient weights of the cap deviator qt = c.s in a mode (deviatoric).
P3 CapWeights(int mode, double delta);
// Elastic stress change D.b of a plastic strain direction b.
P3 ElasticChange(const P3& b, const Material& m);

// Mechanisms a return can make active.
enum class Mech { kShear, kCap, kM13, kM12, kM23, kT1, kT2, kT3 };

struct ActiveSet {
  std::array<Mech, 4> mech{};
  int n = 0;
  bool Has(Mech k) const {
    for (int i = 0; i < n; ++i) {
      if (mech[i] == k) return true;
    }
    return false;
  }
  bool HasFailurePlane() const { return Has(Mech::kM13) || Has(Mech::kM12) || Has(Mech::kM23); }
  bool HasTension() const { return Has(Mech::kT1) || Has(Mech::kT2) || Has(Mech::kT3); }
};

// A linear surface n.s - k <= 0 with its flow b: the Mohr-Coulomb planes
// (flow with sin(psi_m)) and the tension planes (associated).
struct Plane {
  P3 n{};
  double k = 0.0;
  P3 b{};
};
Plane LinearSurface(Mech kind, const Material& m);
// The surface as a return in `mode` sees it: on an edge the major
// Mohr-Coulomb plane and the minor tension plane stand for the pair that
// meets there, with the mean of their normals and flows, so that the return
// stays on the edge.
Plane LinearSurface(Mech kind, const Material& m, int mode);

// A return problem: the trial stress (already projected for an edge mode),
// the start of the hardening state and the gamma_p bookkeeping of the mode.
struct ReturnInput {
  P3 trial{};
  int mode = kModeGeneral;
  const Material* m = nullptr;
  Hardening start;
  // gamma_p measures 4/3 (eps1 - eps3) of the plastic strain (indices of
  // the stress order): 4/3 lambda for the general flow, lambda for an edge
  // flow, plus on an edge the strain that brings the pair of principal
  // stresses together, (s2 - s3)/(3G) or (s1 - s2)/(3G) of the trial.
  double gammaExtra = 0.0;
  double gammaRate = 4.0 / 3.0;  // d gamma_p / d lambda of the mode
};

struct ReturnResult {
  P3 sig{};
  Hardening state;
  std::array<double, 4> lambda{};
  bool converged = false;
};

// Stress scale of a return's residuals and tolerances.
double StressScale(const ReturnInput& in);

// Solves the consistency conditions of all mechanisms of `set` for their
// multipliers (Newton, at most 40 iterations, residuals to 1e-10 relative).
// `guess` gives starting multipliers. Returns false when it does not
// converge or a multiplier comes out negative.
bool SolveActiveSet(const ReturnInput& in, const ActiveSet& set,
                    const std::array<double, 4>& guess, ReturnResult& out);

// Closed-form shear-hardening return (quadratic in lambda). False when the
// quadratic has no admissible root: the stress stays and gamma_p is kept.
bool ShearReturn(const ReturnInput& in, ReturnResult& out);

// True when every surface not in `set` holds at `r` (tension and, with
// mcFailure, Mohr-Coulomb planes; the shear surface unless `set` carries it
// or a failure plane; the cap when `checkCap`), and the order s1>=s2>=s3 holds.
bool Admissible(const ReturnInput& in, const ActiveSet& set, const ReturnResult& r,
                bool checkCap, bool checkShear = true);

// Relative tolerance of the surfaces after a return.
inline constexpr double kSurfaceTol = 1e-9;

// Outcome of the whole return of one call.
struct PointReturn {
  P3 sig{};
  Hardening state;
  int mode = kModeGeneral;
  bool shearBranch = false;
  bool tension = false;
  bool apex = false;
  bool capReturn = false;
};

// The full return of one call: shear branch, Mohr-Coulomb with tension, the
// cap returns and the apex check.
PointReturn ReturnStress(const P3& trial, const Material& m, const Hardening& start);

}  // namespace soilcal::models::hs
