// Example user-defined soil model library for soilcal.
//
// Build it as a shared library named usermod64 (libusermod64.so) and place
// it beside the soilcal program or in ../udsm/ relative to it; a lab-test
// file whose model number is 21 or 22 and whose material name is
// "usermod.dll" then uses it.
//
// Model index 1 (model number 21): linear elastic, perfectly plastic
// Mohr-Coulomb with a tension cut-off. Props (user parameters 1..6, material
// slots 31..36):
//   Props[0] E     Young's modulus
//   Props[1] nu    Poisson's ratio
//   Props[2] c     cohesion
//   Props[3] phi   friction angle in degrees
//   Props[4] psi   dilatancy angle in degrees (used as min(psi, phi))
//   Props[5] sigT  tensile strength (at most c cot(phi))
// One state variable: StVar[0], the accumulated plastic volumetric strain
// (positive in dilation).
//
// Model index 2 (model number 22): linear elastic. Props[0] E, Props[1] nu.
// No state variables.
#include <cmath>
#include <cstring>

#include "elastic.hpp"
#include "mohr_coulomb.hpp"
#include "soilcal/user_model.h"

namespace usermod {
namespace {

enum ModelIndex { kMohrCoulomb = 1, kLinearElastic = 2 };

Elasticity ElasticityOf(const double* props) { return {props[0], props[1]}; }

int StateCount(int iMod) { return iMod == kMohrCoulomb ? 1 : 0; }

// D[i + 6*j]: stress component i per unit engineering strain component j.
void Stiffness(const double* props, double* D) {
  const Elasticity e = ElasticityOf(props);
  const double g = e.G();
  const double lambda = e.Lambda();
  for (int j = 0; j < 6; ++j) {
    for (int i = 0; i < 6; ++i) D[i + 6 * j] = 0.0;
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) D[i + 6 * j] = lambda;
    D[i + 6 * i] = lambda + 2.0 * g;
    D[(i + 3) + 6 * (i + 3)] = g;
  }
}

void Stress(int iMod, const double* props, const double* sig0, const double* dEps,
            const double* stVar0, double* sig, double* stVar, int32_t* ipl) {
  const Elasticity e = ElasticityOf(props);
  const Vec6 trial = ElasticTrial(e, sig0, dEps);
  if (iMod == kLinearElastic) {
    for (std::size_t i = 0; i < 6; ++i) sig[i] = trial[i];
    *ipl = 0;
    return;
  }
  MohrCoulombParameters p;
  p.elastic = e;
  p.c = props[2];
  p.phiDeg = props[3];
  p.psiDeg = props[4];
  p.tensile = props[5];
  const MohrCoulombResult r = MohrCoulombReturn(p, trial);
  for (std::size_t i = 0; i < 6; ++i) sig[i] = r.sig[i];
  *ipl = r.ipl;
  // Plastic volumetric strain: the volumetric strain increment less its
  // elastic part (mean stress change over the bulk modulus).
  const double dEv = dEps[0] + dEps[1] + dEps[2];
  const double dP = (sig[0] + sig[1] + sig[2] - sig0[0] - sig0[1] - sig0[2]) / 3.0;
  stVar[0] = stVar0[0] + dEv - dP / e.K();
}

void Run(SOILCAL_UDSM_ARGUMENTS) {
  (void)IsUndr, (void)iStep, (void)iTer, (void)iEl, (void)Int, (void)X, (void)Y, (void)Z;
  (void)Time0, (void)dTime, (void)Swp0, (void)BulkW, (void)Swp, (void)iReserved1, (void)iReserved2;
  *iAbort = 0;
  if (*iMod != kMohrCoulomb && *iMod != kLinearElastic) {
    *iAbort = 1;  // no such model in this library
    return;
  }
  switch (*IDTask) {
    case SOILCAL_UDSM_INITIALISE:
      for (int i = 0; i < StateCount(*iMod); ++i) StVar0[i] = 0.0;
      return;
    case SOILCAL_UDSM_STATE_COUNT:
      *nStat = StateCount(*iMod);
      return;
    case SOILCAL_UDSM_ATTRIBUTES:
      *NonSym = 0;   // symmetric
      *iStrsDep = 0; // the elastic matrix does not depend on the stress
      *iTimeDep = 0;
      *iTang = 0;    // elastic, not tangent, stiffness
      return;
    default:
      break;
  }
  if (!ElasticityOf(Props).Valid()) {
    *iAbort = 2;  // E must be positive and -1 < nu < 0.5
    return;
  }
  if (*IDTask == SOILCAL_UDSM_STIFFNESS || *IDTask == SOILCAL_UDSM_STIFFNESS_AFTER) {
    Stiffness(Props, D);
  } else if (*IDTask == SOILCAL_UDSM_STRESS) {
    Stress(*iMod, Props, Sig0, dEps, StVar0, Sig, StVar, ipl);
  }
}

}  // namespace
}  // namespace usermod

extern "C" {

SOILCAL_UDSM_EXPORT void User_Mod(SOILCAL_UDSM_ARGUMENTS) {
  // Nothing may be thrown across the library boundary.
  try {
    usermod::Run(IDTask, iMod, IsUndr, iStep, iTer, iEl, Int, X, Y, Z, Time0, dTime, Props, Sig0,
                 Swp0, StVar0, dEps, D, BulkW, Sig, Swp, StVar, ipl, nStat, NonSym, iStrsDep,
                 iTimeDep, iTang, iReserved1, iReserved2, iAbort);
  } catch (...) {
    *iAbort = 99;
  }
}

// Names, symbols, slots, units and ranges of the parameters, so that a TOML
// job gives them by name ([model] name = "usermod_mohr_coulomb").
SOILCAL_UDSM_EXPORT const SoilcalUdsmModelInfo* DescribeUserModel(int32_t* iMod) {
  static constexpr double kInf = HUGE_VAL;
  static constexpr SoilcalUdsmParameter kParameters[] = {
      {"E", "E", 1, SOILCAL_UDSM_UNIT_STRESS, 0.0, kInf, 1, 0, "Young's modulus"},
      {"nu", "ν", 2, SOILCAL_UDSM_UNIT_NONE, 0.0, 0.5, 0, 1, "Poisson's ratio"},
      {"c", "c", 3, SOILCAL_UDSM_UNIT_STRESS, 0.0, kInf, 0, 0, "cohesion"},
      {"phi", "φ", 4, SOILCAL_UDSM_UNIT_ANGLE, 0.0, 90.0, 0, 0, "friction angle"},
      {"psi", "ψ", 5, SOILCAL_UDSM_UNIT_ANGLE, -90.0, 90.0, 0, 0,
       "dilatancy angle (used as min(ψ, φ))"},
      {"tension", "σt", 6, SOILCAL_UDSM_UNIT_STRESS, 0.0, kInf, 0, 0,
       "tensile strength (at most c cot φ)"},
  };
  static constexpr SoilcalUdsmStateVariable kStates[] = {
      {"eps_v_plastic", SOILCAL_UDSM_UNIT_NONE, "plastic volumetric strain (dilation positive)"}};
  static constexpr SoilcalUdsmModelInfo kModels[] = {
      {SOILCAL_UDSM_DESCRIPTION_VERSION, "usermod_mohr_coulomb",
       "Mohr-Coulomb of the example user library", 6, kParameters, 1, kStates},
      {SOILCAL_UDSM_DESCRIPTION_VERSION, "usermod_linear_elastic",
       "linear elastic of the example user library", 2, kParameters, 0, nullptr},
  };
  if (iMod == nullptr || *iMod < 1 || *iMod > 2) return nullptr;
  return &kModels[*iMod - 1];
}

SOILCAL_UDSM_EXPORT void getdllextrainfo(int32_t* iMod, char* text, int32_t* iValues,
                                         double* rValues, size_t textLength) {
  (void)rValues;
  const char* name = *iMod == 1   ? "Mohr-Coulomb with tension cut-off (example)"
                     : *iMod == 2 ? "Linear elastic (example)"
                                  : "Unknown model";
  // text[0] is skipped by the program; the description follows it.
  const size_t n = std::strlen(name);
  for (size_t i = 0; i + 1 < textLength && i < n; ++i) text[i + 1] = name[i];
  iValues[0] = *iMod == 1 ? 6 : 2;  // number of parameters
}

}  // extern "C"
