// The rules an engineer applies by hand to read start values off measured
// curves, one small function each with its source. Inputs and outputs are in
// the job's units, stresses effective and compression positive, strains as
// fractions and compression positive; angles in degrees.
#pragma once

#include <optional>
#include <vector>

#include "derive/fit.hpp"
#include "derive/measured.hpp"

namespace soilcal::derive {

// ---- Strength -------------------------------------------------------------

// Friction angle from a stress ratio η = q/p′ at failure (triaxial
// compression: sin φ = 3η/(6 + η); extension: sin φ = 3η/(6 − η)).
double FrictionFromStressRatio(double eta, bool extension);
// Critical-state stress ratio M from a friction angle: 6 sin φ/(3 − sin φ).
double CriticalStressRatio(double phiDegrees);

// A Mohr circle at failure by its principal stresses.
struct Circle {
  double sigma3 = 0.0;
  double sigma1 = 0.0;
};
// The Mohr-Coulomb line through the tops of the circles: t = (σ1 − σ3)/2
// against s = (σ1 + σ3)/2 gives t = a + s·tan α, then sin φ = tan α and
// c = a/cos φ (the Kf line, Lambe & Whitman 1969). One circle, or circles at
// one confining stress, give c = 0 and φ of their mean. With three or more
// circles the intercept must differ from zero by more than its scatter: a is
// tested against its standard error by Student's t (one-sided, 95 %; Draper &
// Smith 1998, Applied Regression Analysis, §1.4); an intercept that is not
// significant is flagged, with φ of the line through the origin,
// sin φ = Σ s·t / Σ s², beside the line's own. nullopt for none.
struct Strength {
  double phi = 0.0;    // degrees
  double c = 0.0;
  bool line = false;   // true: c and φ from a line through two or more confining stresses
  // The test of the intercept (three or more circles): a/SE(a), its critical
  // value, and φ through the origin where a did not pass it.
  double tRatio = 0.0;
  double tCritical = 0.0;
  bool interceptSignificant = true;
  double phiThroughOrigin = 0.0;  // degrees; set where the intercept is not significant
};
// The one-sided 95 % quantile of Student's t with `dof` degrees of freedom
// (dof ≥ 1; tabulated to 30, 1.645 beyond).
double StudentT95(int dof);
std::optional<Strength> MohrCoulombLine(const std::vector<Circle>& circles);

// The earth pressure at rest of normally consolidated soil, Jaky (1944):
// K0nc = 1 − sin φ′.
double JakyK0(double phiDegrees);

// ---- Drained triaxial curves ----------------------------------------------

// Peak of a deviator curve q(ε1) and, where the test reached it, the end
// value at which q has levelled off (critical state): the last fifth of the
// strain range changes q by less than 2 %.
struct Peak {
  double q = 0.0;
  double strain = 0.0;
  std::optional<double> critical;
};
std::optional<Peak> PeakOf(const Series& qEps);

// Hyperbola of Kondner (1963) and Duncan & Chang (1970) fitted to q(ε1):
// ε1/q = 1/Ei + ε1/qa, a line through the points below 95 % of the peak.
struct Hyperbola {
  double Ei = 0.0;   // initial tangent modulus
  double qa = 0.0;   // asymptote of the deviator
};
std::optional<Hyperbola> FitHyperbola(const Series& qEps, double qPeak);

// Secant modulus at half the failure deviator, E50 = (qf/2)/ε1 at q = qf/2
// (the curve taken from the origin).
std::optional<double> SecantAtHalfPeak(const Series& qEps, double qf);

// The plateau of a linear elastic, perfectly plastic curve fitted to q(ε1)
// with the elastic slope E: for a fixed yield strain εy = P/E the least-
// squares plateau P is the mean of the readings past εy; iterated from the
// peak to its fixed point. Below the peak for a curve that hardens to its end
// or softens after the peak; the peak itself for a curve with a flat top.
std::optional<double> PerfectlyPlasticPlateau(const Series& qEps, double E, double qPeak);

// Dilatancy angle from the largest dilatancy rate d = dεv/dε1 (most
// negative, εv positive in contraction): sin ψ = −d/(2 − d), the plastic
// flow rule of a Mohr-Coulomb potential in triaxial compression (Vermeer &
// de Borst 1984; Bolton 1986 reads the same rate). 0 when the test only
// contracts. Local slopes over five points smooth the measured noise.
struct Dilatancy {
  double psi = 0.0;    // degrees
  double rate = 0.0;   // the rate d used
};
std::optional<Dilatancy> DilatancyAngle(const Series& evEps);

// Poisson's ratio from the first, elastic part of a drained triaxial test at
// constant cell pressure: dεv/dε1 = 1 − 2ν, a line through the origin over
// the points below half the peak.
std::optional<double> PoissonFromInitialSlope(const Series& evEps, const Series& qEps,
                                              double qPeak);

// Power m and the modulus at pref of a stress-dependent stiffness
// E = Eref ((σ′3 + c cot φ)/(pref + c cot φ))^m from one modulus per
// confining stress: the slope and intercept of ln E against ln of the
// bracket (Janbu 1963; Schanz, Vermeer & Bonnier 1999 for E50ref).
struct PowerLaw {
  double m = 0.0;
  double Eref = 0.0;
};
struct ModulusAt {
  double sigma3 = 0.0;
  double E = 0.0;
};
std::optional<PowerLaw> FitStiffnessPower(const std::vector<ModulusAt>& moduli, double c,
                                          double phiDegrees, double pref);
// Eref of one modulus for a given power m (the same bracket as above).
double ModulusAtPref(const ModulusAt& modulus, double m, double c, double phiDegrees,
                     double pref);

// ---- Compression: oedometer and isotropic tests ---------------------------

// Slopes of strain against ln σ′ on the branches of a compression test: λ*
// from the virgin part of the longest loading branch (the steeper of two
// lines where the branch has a kink), κ* from the longest unloading branch,
// else from the flatter first line of a loading branch with a kink
// (reloading). Cc and Cr follow as ln 10 (1 + e0) λ* and ln 10 (1 + e0) κ*.
struct Compression {
  double lambdaStar = 0.0;
  std::optional<double> kappaStar;
  bool kappaFromUnloading = false;
  std::optional<double> kink;   // σ′ where the loading branch turns (two lines)
};
// `curve` holds σ′ as x and the strain as y, in the order measured.
std::optional<Compression> CompressionSlopes(const Series& curve);

// κ* of an oedometer's longest unloading branch (σ′v as x, strain as y):
// the slope of strain against ln p′, p′ = (σ′v + 2σ′h)/3, with the lateral
// stress of elastic unloading from K0nc σ′v,max, dσ′h = νur/(1 − νur) dσ′v
// (Hooke's law without lateral strain). Readings whose σ′h would fall to
// a tenth of σ′v or below are left out. Empty without such a branch.
std::optional<double> OedometerKappaStar(const Series& curve, double k0nc, double nuUr);

// Compression and recompression indices of an e–log10 σ′ curve: Cc the
// slope of the virgin line, Cr the slope of the line before it.
struct Indices {
  double Cc = 0.0;
  double Cr = 0.0;
  double kink = 0.0;   // σ′ where the two lines meet
};
std::optional<Indices> CompressionIndices(const std::vector<double>& sigma,
                                          const std::vector<double>& e);

// Preconsolidation stress by Casagrande's (1936) construction on e–log10 σ′:
// the point of largest curvature, the bisector of the horizontal and the
// tangent there, and its intersection with the virgin line.
std::optional<double> CasagrandePreconsolidation(const std::vector<double>& sigma,
                                                 const std::vector<double>& e);

// Preconsolidation stress by the work method of Becker, Crooks, Been &
// Jefferies (1987): the work per unit volume W = ∫σ′ dε against σ′ is two
// straight lines, which meet at σ′p.
std::optional<double> BeckerPreconsolidation(const std::vector<double>& sigma,
                                             const std::vector<double>& strain);

// Tangent oedometer modulus at pref of the virgin loading branch for a
// stiffness Eoed = Eoedref (σ′/pref)^m: the geometric mean of the local
// tangents dσ′/dε scaled to pref.
// `curve` holds σ′ as x and the strain as y; points below `fromStress` (the
// preconsolidation stress) are left out.
std::optional<double> OedometerModulusAtPref(const Series& curve, double fromStress,
                                             double m, double pref);

// Modified creep index μ* from a creep stage (constant effective stress):
// the slope of strain against ln t over the later half of the stage on a
// logarithmic time scale, where primary consolidation is over and
// ε = μ* ln((τ + t′)/τ) of the soft-soil-creep model (Vermeer & Neher 1999)
// grows as μ* ln t′. Time is counted from the stage's first point; μ* =
// Cα/(ln 10 (1 + e0)) with Cα = Δe/Δlog10 t (Mesri & Godlewski 1977).
struct CreepRate {
  double muStar = 0.0;
  double from = 0.0;   // time since the stage began at the first point used
  double to = 0.0;     // and at the last
};
// `strainOverTime` holds time as x and the strain as y, in the order measured.
std::optional<CreepRate> SecondaryCompression(const Series& strainOverTime);

// ---- Undrained triaxial tests ---------------------------------------------

// Undrained shear strength su = qf/2 and, with the excess pore pressure at
// failure, Skempton's (1954) A at failure, Af = Δu/Δq (Δσ3 = 0).
double UndrainedStrength(double qPeak);
double SkemptonA(double porePressureAtFailure, double qAtFailure);
// Largest stress ratio η = q/p′ along an effective stress path.
std::optional<double> LargestStressRatio(const Series& qOverP);
// Stress ratio at failure of a path that reaches the failure line and runs
// along it: the mean η of the points within 3 % of the largest. Scattered
// readings put the largest η at the highest scatter (about +1.4 % for ±1 %
// on q and p′, 0.4° of φ′); the mean over the failure line does not.
std::optional<double> FailureStressRatio(const Series& qOverP);

// ---- Rock: Hoek-Brown from triaxial peaks ---------------------------------

// Hoek & Brown (1980, 2002): (σ1 − σ3)² = mb σci σ3 + s σci² with a = 1/2;
// the regression of (σ1 − σ3)² against σ3 gives mb σci and s σci². With s = 1
// (intact rock, the laboratory's specimen), σci and mb follow.
struct HoekBrown {
  double sigmaCi = 0.0;
  double mb = 0.0;
  double s = 1.0;
};
std::optional<HoekBrown> HoekBrownRegression(const std::vector<Circle>& peaks);

// ---- Sand state: UBCSAND correlations -------------------------------------

// Relative density from a void ratio, Dr = (emax − e)/(emax − emin), and
// (N1)60 = 46 Dr², the form of Skempton's (1986) relation that Idriss &
// Boulanger (2008) give and the UBCSAND calibration (Beaty & Byrne 2011)
// starts from.
double RelativeDensity(double e, double emin, double emax);
double BlowCountFromDensity(double relativeDensity);

// The UBCSAND correlations of Beaty & Byrne (2011) from (N1)60, which the
// UBC3D model takes over (Petalas & Galavi 2013), as the model's own
// completion applies them:
//   K_G^e = 21.7 · 20 · (N1)60^0.333,  K_B^e = 0.7 K_G^e,
//   K_G^p = K_G^e · (N1)60² · 0.003 + 100,
//   φp = φcv + (N1)60/10 (+ ((N1)60 − 15)/5 above 15 blows),
//   Rf = 1.1 (N1)60^(−0.15) (at most 0.99),
//   with the exponents ne = me = 0.5 and np = 0.4.
struct UbcSand {
  double KGe = 0.0, KBe = 0.0, KGp = 0.0;
  double phiPeakOverCv = 0.0;   // φp − φcv in degrees
  double Rf = 0.0;
  double fDens = 1.0;           // densification factor fitted to the field liquefaction curve
};
UbcSand UbcSandFromBlowCount(double n160);

}  // namespace soilcal::derive
