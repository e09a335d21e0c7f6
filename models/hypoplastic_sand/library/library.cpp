// The user-model library "hypoplastic_sand.dll" (libhypoplastic_sand64.so):
// model index 1 (model number 21) is hypoplastic sand with intergranular
// strain. It describes itself through DescribeUserModel, so a TOML job names
// it [model] name = "hypoplastic_sand" and its parameters by their names.
//
// State variables (StVar):
//   0      void ratio e
//   1..6   intergranular strain delta, tensor components xx, yy, zz, xy, yz, zx
//   7..12  strain increment of the last stress call (engineering shear), the
//          direction the stiffness of the next step is taken in
//   13     substeps of the last stress call
//
// The start void ratio is e0 (or the porosity n0), the start intergranular
// strain rho0 R along the start stress.
//
// Abort codes (iAbort): 1 no such model index, 2 a parameter out of its
// range, 3 the point starts without compressive mean stress (shifted by
// p_t), 4 the integration left the domain of the equations or ran out of
// substeps, 99 an unexpected failure. Nothing is kept between calls: every
// call works on its arguments alone, so threads may call at once.
#include <cmath>
#include <cstring>
#include <string>

#include "integrate.hpp"
#include "soilcal/user_model.h"

namespace hypoplastic {
namespace {

constexpr int kModel = 1;
constexpr int kStateCount = 14;
constexpr int kStateE = 0, kStateDelta = 1, kStateLastIncrement = 7, kStateSubsteps = 13;

enum Abort { kNoModel = 1, kBadParameter = 2, kNoCompression = 3, kIntegration = 4 };

State StateOf(const double* sig, const double* stVar) {
  State s;
  for (int i = 0; i < 6; ++i) s.T[i] = sig[i];
  s.e = stVar[kStateE];
  for (int i = 0; i < 6; ++i) s.delta[i] = stVar[kStateDelta + i];
  return s;
}

void StoreState(const State& s, double* sig, double* stVar) {
  for (int i = 0; i < 6; ++i) sig[i] = s.T[i];
  stVar[kStateE] = s.e;
  for (int i = 0; i < 6; ++i) stVar[kStateDelta + i] = s.delta[i];
}

// D[i + 6 j]: stress i per unit engineering strain j, from the tangent K on
// tensor components (a shear strain component is half the engineering one).
void StoreStiffness(const Mat& K, double* D) {
  for (int j = 0; j < 6; ++j) {
    const double scale = j < 3 ? 1.0 : 0.5;
    for (int i = 0; i < 6; ++i) D[i + 6 * j] = K(i, j) * scale;
  }
}

int Initialise(const Parameters& p, const double* sig0, double* stVar0) {
  for (int i = 0; i < kStateCount; ++i) stVar0[i] = 0.0;
  stVar0[kStateE] = p.e0;
  const double pm = -(sig0[0] + sig0[1] + sig0[2]) / 3.0 + p.pt;
  if (!(pm > MinimumPressure(p))) return kNoCompression;
  Sym T;
  for (int i = 0; i < 6; ++i) T[i] = sig0[i];
  const Sym delta = StartIntergranularStrain(p, T);
  for (int i = 0; i < 6; ++i) stVar0[kStateDelta + i] = delta[i];
  return 0;
}

int Stress(const Parameters& p, const double* sig0, const double* stVar0, const double* dEps,
           double* sig, double* stVar, int32_t* ipl) {
  const StepResult r = Integrate(p, StateOf(sig0, stVar0), FromEngineering(dEps));
  if (!r.ok) return kIntegration;
  StoreState(r.end, sig, stVar);
  for (int i = 0; i < 6; ++i) stVar[kStateLastIncrement + i] = dEps[i];
  stVar[kStateSubsteps] = r.substeps;
  *ipl = 1;  // hypoplasticity has no elastic range
  return 0;
}

int Stiffness(const Parameters& p, const double* sig0, const double* stVar0, double* D) {
  Mat K;
  if (!TangentAt(p, StateOf(sig0, stVar0), FromEngineering(stVar0 + kStateLastIncrement), &K)) {
    return kNoCompression;
  }
  StoreStiffness(K, D);
  return 0;
}

void Run(SOILCAL_UDSM_ARGUMENTS) {
  (void)IsUndr, (void)iStep, (void)iTer, (void)iEl, (void)Int, (void)X, (void)Y, (void)Z;
  (void)Time0, (void)dTime, (void)Swp0, (void)BulkW, (void)Swp, (void)iReserved1, (void)iReserved2;
  *iAbort = 0;
  if (*iMod != kModel) {
    *iAbort = kNoModel;
    return;
  }
  switch (*IDTask) {
    case SOILCAL_UDSM_STATE_COUNT:
      *nStat = kStateCount;
      return;
    case SOILCAL_UDSM_ATTRIBUTES:
      *NonSym = 1;    // the tangent of hypoplasticity is not symmetric
      *iStrsDep = 1;  // it depends on the stress and the state
      *iTimeDep = 0;
      *iTang = 1;
      return;
    default:
      break;
  }
  std::string problem;
  const Parameters p = ReadParameters(Props, &problem);
  if (!problem.empty()) {
    *iAbort = kBadParameter;
    return;
  }
  switch (*IDTask) {
    case SOILCAL_UDSM_INITIALISE:
      *iAbort = Initialise(p, Sig0, StVar0);
      return;
    case SOILCAL_UDSM_STRESS:
      *iAbort = Stress(p, Sig0, StVar0, dEps, Sig, StVar, ipl);
      return;
    case SOILCAL_UDSM_STIFFNESS:
    case SOILCAL_UDSM_STIFFNESS_AFTER:
      *iAbort = Stiffness(p, Sig0, StVar0, D);
      return;
    default:
      return;
  }
}

}  // namespace
}  // namespace hypoplastic

extern "C" {

SOILCAL_UDSM_EXPORT void User_Mod(SOILCAL_UDSM_ARGUMENTS) {
  try {
    hypoplastic::Run(IDTask, iMod, IsUndr, iStep, iTer, iEl, Int, X, Y, Z, Time0, dTime, Props,
                     Sig0, Swp0, StVar0, dEps, D, BulkW, Sig, Swp, StVar, ipl, nStat, NonSym,
                     iStrsDep, iTimeDep, iTang, iReserved1, iReserved2, iAbort);
  } catch (...) {
    *iAbort = 99;
  }
}

SOILCAL_UDSM_EXPORT void getdllextrainfo(int32_t* iMod, char* text, int32_t* iValues,
                                         double* rValues, size_t textLength) {
  (void)rValues;
  const char* name = *iMod == 1 ? "Hypoplastic sand with intergranular strain" : "Unknown model";
  const size_t n = std::strlen(name);
  for (size_t i = 0; i + 1 < textLength && i < n; ++i) text[i + 1] = name[i];
  iValues[0] = *iMod == 1 ? hypoplastic::kSlotCount : 0;
}

}  // extern "C"
