// UBC3D sand (model 34): an effective-stress model for the liquefaction of
// sand under cyclic loading, after the UBCSAND family of Puebla, Byrne and
// Phillips (1997) and Beaty and Byrne (1998, 2011), in its three-dimensional
// form with Mohr-Coulomb surfaces in principal stress space.
//
//  - Elasticity: G = K_G^e pref (p'/pref)^ne, K = K_B^e pref (p'/pref)^me,
//    p' the mean effective stress at the start of the step.
//  - Yield surface: (s1 - s3)/2 = sin(phi_mob) ((s1 + s3)/2 + c cot phi_p)
//    (compression positive, s1 major); it hardens with the plastic shear
//    strain gamma_p = eps1_p - eps3_p by the hyperbolic rule
//      d sin(phi_mob) = 1.5 K_G^p (p'/pref)^(np - 1) (1 - Rf sin(phi_mob)/sin(phi_p))^2 d gamma_p
//    up to sin(phi_p).
//  - Flow: shear on the Mohr-Coulomb surface with the isotropic dilatancy
//    sin(psi_m) = sin(phi_mob) - sin(phi_cv) (potential (s1 - s3)/2 - sin(psi_m) p'):
//    contraction below the constant-volume friction angle, dilation above.
//  - Unloading: the stress ratio falls elastically and the surface follows
//    it down, so every reloading is plastic from the current ratio. While
//    the ratio falls the sand compacts: the stress-dilatancy rule with the
//    ratio taken in the reversed sense, d eps_v_p = (sin(phi_cv) + eta) |d eta| / H,
//    always contractive (H the hardening modulus of secondary loading).
//    Besides, the dilation a loading built up is given back while the
//    ratio then falls by sin(phi_cv): the dilative structure collapses on
//    unloading. Under undrained conditions this compaction is what carries
//    the pore pressure up to liquefaction cycle by cycle. It stops where
//    the minor stress comes within the stress floor of the cut-off, so a
//    point is never compacted onto the apex, from which no loading could
//    dilate it back.
//  - Densification: after n_rev turns of the stress ratio between loading
//    and unloading the plastic modulus number of secondary loading is
//    K_G^p (4 + n_rev/2) hard f_dens, stiffer with every cycle; hard grows
//    with (N1)60 from 0.5 (loose) to 1 (dense).
//  - Post-liquefaction: once the mean effective stress of a point has
//    fallen to a fifth of its start value, its loading takes the plastic
//    modulus times f_Epost (the unloading compaction keeps its own), and
//    its dilatancy is divided by 1 + z/z_f, z the fabric its dilation has
//    built since (the rises of p' by dilation over p'0; after Dafalias and
//    Manzari 2004 and Boulanger and Ziotopoulou 2017), so the strain of
//    cyclic mobility grows cycle by cycle.
//  - Integration: the return runs in sub-increments of the step's strain
//    that change the trial stress by at most 1 % of p', each with the
//    moduli of its own start stress, so that the answer does not depend on
//    the size of the load steps.
//  - Tension cut-off at the tensile strength (slot 44), no tension for a
//    cohesionless sand.
//
// Slots: 4 c (stress), 31 K_G^e, 32 K_B^e, 33 K_G^p (modulus numbers),
// 34 ne, 36 me, 37 np (exponents), 35 pref (stress; the job's 100 kPa when
// 0), 38 phi_cv and 39 phi_p (degrees), 40 Rf, 41 f_dens, 42 f_Epost,
// 43 (N1)60, 44 tensile strength (stress), 45 z_f, the fabric of cyclic
// mobility that halves the dilatancy (4 when 0). CopySoilProp sets slot 3 to
// sin(phi_p). Modulus numbers, exponents (ne = me = 0.5, np = 0.4), phi_p,
// Rf and f_dens not given (not positive) follow from (N1)60 when it is
// given (f_dens fitted to the field liquefaction curve, DefaultDensification).
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"
#include "models/tensor.hpp"

namespace soilcal::models::ubc3d {

struct Params {
  double KGe = 0.0, KBe = 0.0, KGp = 0.0;  // modulus numbers
  double ne = 0.5, me = 0.5, np = 0.5;     // exponents
  double pref = 100.0;
  double sinPhiCv = 0.0, sinPhiP = 0.0;
  double a = 0.0;           // c cot(phi_p): distance of the apex from zero stress
  double Rf = 0.9;
  double fDens = 1.0, fEpost = 1.0;
  double hard = 1.0;        // densification factor of (N1)60
  double tension = 0.0;     // tensile strength (the cut-off at -tension, compression positive)
  double fabricScale = 4.0; // fabric z that halves the dilatancy of cyclic mobility
  double pFloor = 1.0;      // lowest mean stress of the moduli
};

// Fabric of cyclic mobility. Each dilative loading of a liquefied point
// raises its effective stress again by K sin(psi) d gamma_p; the sum of
// those rises, over the point's initial mean stress, is its fabric z, and
// the dilatancy of its next loadings is divided by 1 + z / z_f (slot 45).
// A sand that has passed through near-zero effective stress thus must
// strain further every cycle before it dilates and carries the load
// again, so the shear strain of cyclic mobility grows cycle by cycle, as
// measured on dense sands, instead of repeating the strain its dilatancy
// allows from p' = 0 (after the fabric-dilatancy of Dafalias and Manzari
// 2004, whose cumulative form divides the dilatancy of PM4Sand, Boulanger
// and Ziotopoulou 2017). z grows by about p'max / p'0 each half cycle; at
// z_f = 4, the dilatancy halves after two to three cycles of cyclic mobility;
// with f_dens refitted, the liquefaction curves of the published
// correlations then lie within 3 % of the field curve at K0 = 1, and that
// of the dense sands falls on at high CSR.
inline constexpr double kDefaultFabricScale = 4.0;

// Model state after PointMatState (21 values; the lab-test driver keeps
// at least that many).
inline constexpr int kStateVars = 21;
inline constexpr int kSinMob = 0;      // sin(phi_mob) of the yield surface
inline constexpr int kDirection = 1;   // +1 loading, -1 unloading, 0 not yet loaded
inline constexpr int kReversals = 2;   // turns between loading and unloading
inline constexpr int kP0 = 3;          // mean effective stress at the start of the test
inline constexpr int kLiquefied = 4;   // 1 once p' has fallen to a fifth of kP0
inline constexpr int kGammaP = 5;      // accumulated plastic shear strain
inline constexpr int kEpsVp = 6;       // accumulated plastic volumetric strain (compaction > 0)
inline constexpr int kFactorG = 7;     // (p'/pref)^ne of the last committed stress
inline constexpr int kFactorK = 8;     // (p'/pref)^me
inline constexpr int kDilation = 9;    // dilation of the current loading, given back on unloading
inline constexpr int kReversalRatio = 10;  // stress ratio where the unloading began
inline constexpr int kReversalDilation = 11;  // dilation stored when the unloading began
inline constexpr int kFabric = 12;     // fabric z of cyclic mobility

// The published correlations of the parameters with the normalised blow
// count (N1)60 (Beaty and Byrne 2011; Petalas and Galavi 2013): the modulus
// numbers, the exponents, the peak friction angle (degrees, from phi_cv),
// the failure ratio and the densification factor.
struct Correlations {
  double KGe = 0.0, KBe = 0.0, KGp = 0.0;
  double ne = 0.5, me = 0.5, np = 0.4;
  double phiP = 0.0, Rf = 0.0;
  double fDens = 1.0;
};
Correlations CorrelationsOf(double n160, double phiCv);
// The densification factor of (N1)60 fitted to the field liquefaction
// curve: exp(0.92 - 0.097 (N1)60), (N1)60 taken within 5 to 25.
double DefaultDensification(double n160);

// Checks and derived slots (CopySoilProp): slot 3 = sin(phi_p), defaults
// of pref, Rf, f_dens, f_Epost and the (N1)60 correlations.
void CopySoilProp(int iSet, PropSoil& prop, const ModelConstants& k);
// Parameters of a completed set.
Params MakeParams(const PropSoil& prop, const ModelConstants& k);

// Stress-dependence factors (p'/pref)^ne and (p'/pref)^me of a stress
// (tension positive), p' floored.
struct Moduli {
  double G = 0.0, K = 0.0;
  double factorG = 1.0, factorK = 1.0;
};
Moduli ElasticModuli(const Params& m, const Vec6& sig);
// The same from stored factors (a factor within 1e-6 of 0 counts as 1).
Moduli ElasticModuliOfFactors(const Params& m, double factorG, double factorK);
// Poisson's ratio of K and G, (3K - 2G)/(6K + 2G), 0.495 at most and 0
// when not positive.
double PoissonOf(double K, double G);

// Mobilised stress ratio sin(phi_m) = (c1 - c3)/(c1 + c3 + 2a) of principal
// stresses c (compression positive, c[0] >= c[1] >= c[2]); 1 beyond the apex.
double StressRatio(const Vec3& c, double a);

// The return of one stress point.
struct PointState {
  double sinMob = 0.0;
  double direction = 0.0;
  double reversals = 0.0;
  double p0 = 0.0;
  double liquefied = 0.0;
  double gammaP = 0.0;
  double epsVp = 0.0;
  double dilation = 0.0;       // plastic dilation still to be given back (> 0)
  double reversalRatio = 0.0;  // stress ratio at the start of the unloading
  double reversalDilation = 0.0;  // dilation stored at the start of the unloading
  double fabric = 0.0;            // sum of the rises of p' by dilation since liquefied, over p0
};
struct Return {
  Vec3 c{};            // returned principal stresses (compression positive)
  PointState state;    // state at the end of the step
  int area = 0;        // 0 elastic, 1 loading, 2 tension cut-off, 3 unloading compaction
  bool apex = false;
};
// Trial principal stresses `trial` (c[0] >= c[1] >= c[2]) of the elastic
// moduli `mod` (those of the start of the step, whose mean stress p0Step
// sets the plastic moduli) from state `s0`.
Return ReturnUbc(const Vec3& trial, double p0Step, const Moduli& mod, const Params& m,
                 const PointState& s0);

// Family hooks.
double GenMatShearModulus(const GenMatCall& call);
int InitPoint(PointInitCall& call);
void ElasticMatrix(ElasticCall& call);
void UBC_Sig(StressCall& call);

}  // namespace soilcal::models::ubc3d
