// Laboratory files written by the tests themselves: the closed-form
// Mohr-Coulomb triaxial response as a GDS export (in every variant the
// reader must take: decimal commas, Latin-1, a byte-order mark, CRLF,
// derived columns left at zero) and oedometer increments on a normal
// compression line as an AGS4 file.
#pragma once

#include <string>
#include <vector>

namespace soilcal::testing {

// Linear elasticity with a Mohr-Coulomb limit; stresses in kPa, angles in
// degrees.
struct McSoil {
  double G = 20000.0, nu = 0.25, phi = 35.0, c = 0.0, psi = 0.0;
};

// One reading of a triaxial compression test from an isotropic effective
// stress: axial and volumetric strain (fractions), deviator stress and
// excess pore pressure (kPa).
struct TriaxialReading {
  double ea = 0.0, q = 0.0, ev = 0.0, du = 0.0;
};

// Drained compression at a constant σ′3: q = E εa and εv = (1 − 2ν) εa up
// to q_f = σ′3 (N − 1) + 2c√N with N = (1 + sin φ)/(1 − sin φ); then q stays
// and εv grows by −2 sin ψ/(1 − sin ψ) per unit of axial strain.
std::vector<TriaxialReading> DrainedTriaxial(const McSoil& soil, double sigma3, double eaMax,
                                             int readings);
// Undrained compression (water of the undrained Poisson's ratio nuU, ψ = 0):
// q = 2G(1 + νu) εa and Δu = a q with a = (1 − K/Ku)/3, up to
// q_f = (σ′3 (N − 1) + 2c√N)/(1 + a (N − 1)); then nothing changes.
std::vector<TriaxialReading> UndrainedTriaxial(const McSoil& soil, double sigma3, double eaMax,
                                               int readings, double nuU = 0.495);

struct GdsVariant {
  bool decimalComma = false;
  bool latin1 = false;        // Windows-1252 bytes ("mm\xB3"); else UTF-8
  bool bom = false;           // a UTF-8 byte-order mark
  bool crlf = false;
  bool derivedZero = false;   // deviator and effective stress columns hold 0
  bool strainColumn = true;   // false: only the axial displacement
  double backPressure = 300.0;
  double height = 100.0, diameter = 50.0;   // mm
  double consolidationStrain = 0.0069;      // axial, over stage 3
  double consolidationVolume = -4018.0;     // mm³ over stage 3
};

// A five-stage GDS export (saturation, B check, consolidation, a short
// unload-reload hold, shear) whose stage 5 is `shear` from σ′3.
std::string GdsFile(const std::vector<TriaxialReading>& shear, bool undrained, double sigma3,
                    const GdsVariant& variant);
// The specimen volume at the start of shear (mm³).
double ShearStartVolume(const GdsVariant& variant);

// An AGS4 oedometer specimen: its key and its increments (stress at the end
// in kPa, void ratio at the end).
struct OedometerSpecimen {
  std::string location, ref;
  double depth = 0.0;
  double e0 = 1.0;                     // CONS_IVR of the first increment
  std::vector<double> stress, voids;
};
// Increments on a normal compression line ε = λ* ln(σ/σ1) from e1 at σ1,
// then unloading on ε = ε_max − κ* ln(σ_max/σ).
OedometerSpecimen NormalCompression(const std::string& location, double depth,
                                    const std::string& ref, double lambdaStar, double kappaStar,
                                    double e1, const std::vector<double>& loading,
                                    const std::vector<double>& unloading);
// Failure points for TRET (cell pressure, pore pressure at failure,
// deviator at failure) on the line of c′ and φ′.
struct TriaxialFailure {
  std::string location, ref;
  double depth = 0.0, cell = 0.0, pore = 0.0, deviator = 0.0;
};
TriaxialFailure OnFailureLine(const std::string& location, double depth, const std::string& ref,
                              double c, double phiDegrees, double cell, double pore);
// An AGS4 file (UTF-8 with a byte-order mark, CRLF) with PROJ, CONG and
// CONS groups of the specimens, TRET of the failures, and a remark holding
// a quoted line break; `stressUnit` is the UNIT of CONS_INCF ("kPa", "MPa").
std::string Ags4File(const std::vector<OedometerSpecimen>& specimens,
                     const std::vector<TriaxialFailure>& failures,
                     const std::string& stressUnit = "kPa");

}  // namespace soilcal::testing
