// ModUsr3D: one call of a user-defined soil model library for one stress
// point and task, with the library's failures turned into kernel-error
// abort codes (26, 246, 247) and the extra message texts.
#pragma once

#include <array>
#include <cstdint>

#include "models/material.hpp"
#include "models/tensor.hpp"
#include "models/udsm/session.hpp"
#include "services/errors.hpp"

namespace soilcal::models::udsm {

// Check words of the callers; a word of 800 or less is refused (247).
inline constexpr int kCheckStress = 805;      // ELEMBoth and MatSig's stress call
inline constexpr int kCheckEffectiveD = 804;  // MatSig's effective matrix
inline constexpr int kCheckStateCount = 808;  // LinkUserModels, task 4
inline constexpr int kCheckAttributes = 809;  // LinkUserModels, task 5
inline constexpr int kCheckInit = 810;        // InitUsrStat, task 1

// Largest number of state variables a point can hold beyond its
// PointMatState record.
inline constexpr int kMaxUserStateVars = kStateCapacity - kModelStateOffset;

// One ModUsr3D call: the caller's inputs and the answer.
struct UserCall {
  int iSet = 1;
  int IDTask = 0;
  int modelCode = 0;         // drainage type * 100 + model number
  int mChk = 0;
  int iEl = 1, intPt = 1;
  int iStep = 0, iTer = 0;
  double x = 0.0, y = 0.0, z = 0.0;
  double time0 = 0.0, dTime = 0.0;
  const PropSoil* prop = nullptr;
  Vec6 sig0{};
  double swp0 = 0.0;
  double* stVar0 = nullptr;  // nStat values (the library may write them for task 1)
  double* stVar = nullptr;   // nStat values
  Vec6 dEps{};
  // Unsaturated values: saturation at the end and start, suction at the end
  // and start (the program keeps no unsaturated data).
  double satEnd = 1.0, satStart = 1.0, suctionEnd = 0.0, suctionStart = 0.0;
  // in/out
  Mat6 D;                    // out for tasks 3 and 6 (not read before)
  double bulkW = 0.0;
  Vec6 sig{};                // out for task 2
  double swp = 0.0;          // caller's end value in, library's answer out
  int ipl = 0;
  int nStat = 0;             // out for task 4
};

// The argument block of the 31-argument call, laid out as the library
// receives it. The arrays are left uninitialised here: every call fills
// each value (the block is built once per stress call, so it is not
// cleared twice).
struct UserArgs {
  std::int32_t IDTask = 0, iMod = 0, IsUndr = 0, iStep = 0, iTer = 0, iEl = 1, Int = 1;
  double X = 0.0, Y = 0.0, Z = 0.0, Time0 = 0.0, dTime = 0.0;
  std::array<double, SOILCAL_UDSM_NPROPS> Props;
  std::array<double, SOILCAL_UDSM_NSIG0> Sig0;
  double Swp0 = 0.0;
  double* StVar0 = nullptr;
  std::array<double, SOILCAL_UDSM_NDEPS> dEps;
  std::array<double, 36> D;  // column-major
  double BulkW = 0.0;
  std::array<double, SOILCAL_UDSM_NSIG> Sig;
  double Swp = 0.0;
  double* StVar = nullptr;
  std::int32_t ipl = 0, nStat = 0, NonSym = 0, iStrsDep = 0, iTimeDep = 0, iTang = 0;
  std::int32_t iReserved1 = 0, iReserved2 = 0, iAbort = 0;
};

// Calls the set's entry point, or the bridge with the set number first.
// Returns the bridge result (0 for a direct call). Never throws.
int CallUserModel(const Session& session, int iSet, UserArgs& args);

// Number of state variables of a set: PropSoil slot 30, nearest integer
// (halves away from zero).
inline int StateVarCount(const PropSoil& prop) {
  const double v = prop[30];
  return static_cast<int>(v >= 0.0 ? v + 0.5 : v - 0.5);
}

// One library call. Returns the abort code (0 on success); on failure the
// texts are set as the kernel error of that code shows them.
int ModUsr3D(Session& session, UserCall& call, PropSoil* setProp,
             services::KernelMessageTexts& texts);

}  // namespace soilcal::models::udsm
