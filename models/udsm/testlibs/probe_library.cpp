// Test library for the user-model loader: a linear elastic model that
// records every call it receives and can be told, through its parameters,
// to fail in the ways a real library might. Built several times, each copy
// exporting its entry point under one name (PROBE_ENTRY: User_Mod, user_mod,
// UserModelEntry for the bridge, or none at all). One copy also describes
// itself against the rules (PROBE_BAD_DESCRIPTION).
//
// Props[0] E, Props[1] nu: elasticity.
// Props[2]: number of state variables answered for task 4.
// Props[3]: BulkW returned with the stiffness (0 leaves it to the program).
// Props[4..7]: NonSym, iStrsDep, iTimeDep, iTang answered for task 5.
// Props[8]: failure of the stress task: 1 iAbort = Props[9], 2 NaN stresses,
//           3 a C++ exception.
// Every stress call adds 1 to each state variable it receives in StVar.
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "probe_record.h"
#include "soilcal/user_model.h"


namespace {

struct Log {
  std::mutex mutex;
  std::vector<ProbeRecord> calls;
  SoilcalUdsmRealInfo realInfo{};
  SoilcalUdsmIntInfo intInfo{};
  int extraInfoCalls = 0;
};

Log& TheLog() {
  static Log log;
  return log;
}

void Elastic(const double* props, double* D) {
  const double E = props[0], nu = props[1];
  const double g = E / (2.0 * (1.0 + nu));
  const double lambda = E * nu / ((1.0 + nu) * (1.0 - 2.0 * nu));
  for (int i = 0; i < 36; ++i) D[i] = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) D[i + 6 * j] = lambda;
    D[i + 6 * i] = lambda + 2.0 * g;
    D[(i + 3) + 6 * (i + 3)] = g;
  }
}

void Record(SOILCAL_UDSM_ARGUMENTS) {
  (void)iEl, (void)Int, (void)X, (void)Y, (void)Z, (void)Sig, (void)ipl, (void)NonSym;
  (void)iStrsDep, (void)iTimeDep, (void)iTang, (void)iReserved1, (void)iReserved2, (void)iAbort;
  ProbeRecord r{};
  r.IDTask = *IDTask;
  r.iMod = *iMod;
  r.IsUndr = *IsUndr;
  r.iStep = *iStep;
  r.iTer = *iTer;
  r.nStat = *nStat;
  r.Time0 = *Time0;
  r.dTime = *dTime;
  r.Swp0 = *Swp0;
  r.Swp = *Swp;
  r.BulkW = *BulkW;
  std::memcpy(r.Props, Props, sizeof r.Props);
  std::memcpy(r.Sig0, Sig0, sizeof r.Sig0);
  std::memcpy(r.dEps, dEps, sizeof r.dEps);
  std::memcpy(r.D, D, sizeof r.D);
  for (int i = 0; i < *nStat && i < 4; ++i) {
    r.StVar0[i] = StVar0[i];
    r.StVarIn[i] = StVar[i];
  }
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.calls.push_back(r);
}

int32_t Flag(double v) { return static_cast<int32_t>(std::lround(v)); }

[[maybe_unused]] void Model(SOILCAL_UDSM_ARGUMENTS) {
  Record(IDTask, iMod, IsUndr, iStep, iTer, iEl, Int, X, Y, Z, Time0, dTime, Props, Sig0, Swp0,
         StVar0, dEps, D, BulkW, Sig, Swp, StVar, ipl, nStat, NonSym, iStrsDep, iTimeDep, iTang,
         iReserved1, iReserved2, iAbort);
  *iAbort = 0;
  switch (*IDTask) {
    case SOILCAL_UDSM_STATE_COUNT:
      *nStat = Flag(Props[2]);
      return;
    case SOILCAL_UDSM_ATTRIBUTES:
      *NonSym = Flag(Props[4]);
      *iStrsDep = Flag(Props[5]);
      *iTimeDep = Flag(Props[6]);
      *iTang = Flag(Props[7]);
      return;
    case SOILCAL_UDSM_STIFFNESS:
    case SOILCAL_UDSM_STIFFNESS_AFTER:
      Elastic(Props, D);
      *BulkW = Props[3];
      return;
    case SOILCAL_UDSM_STRESS:
      break;
    default:
      return;
  }
  const int failure = Flag(Props[8]);
  if (failure == 1) {
    *iAbort = Flag(Props[9]);
    return;
  }
  if (failure == 3) throw std::runtime_error("probe library failure");
  double d[36];
  Elastic(Props, d);
  for (int i = 0; i < 6; ++i) {
    Sig[i] = Sig0[i];
    for (int j = 0; j < 6; ++j) Sig[i] += d[i + 6 * j] * dEps[j];
  }
  if (failure == 2) Sig[1] = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < *nStat; ++i) StVar[i] += 1.0;
  *ipl = 0;
}

}  // namespace

extern "C" {

#ifdef PROBE_ENTRY
SOILCAL_UDSM_EXPORT void PROBE_ENTRY(SOILCAL_UDSM_ARGUMENTS) {
  Model(IDTask, iMod, IsUndr, iStep, iTer, iEl, Int, X, Y, Z, Time0, dTime, Props, Sig0, Swp0,
        StVar0, dEps, D, BulkW, Sig, Swp, StVar, ipl, nStat, NonSym, iStrsDep, iTimeDep, iTang,
        iReserved1, iReserved2, iAbort);
}
#endif

#ifdef PROBE_BAD_DESCRIPTION
// A description that breaks the rules: the name "E" declared twice.
SOILCAL_UDSM_EXPORT const SoilcalUdsmModelInfo* DescribeUserModel(int32_t* iMod) {
  static constexpr SoilcalUdsmParameter kParameters[] = {
      {"E", "E", 1, SOILCAL_UDSM_UNIT_STRESS, 0.0, HUGE_VAL, 1, 0, "Young's modulus"},
      {"E", "E", 2, SOILCAL_UDSM_UNIT_NONE, 0.0, 0.5, 0, 1, "Poisson's ratio"}};
  static constexpr SoilcalUdsmModelInfo kModel{SOILCAL_UDSM_DESCRIPTION_VERSION, "broken_probe",
                                               "probe", 2, kParameters, 0, nullptr};
  return *iMod == 1 ? &kModel : nullptr;
}
#endif

SOILCAL_UDSM_EXPORT void GETSTATEVARUSAGE(int32_t* iMod, int32_t* iVar, int32_t* usage) {
  *usage = 10 * *iMod + *iVar;
}

SOILCAL_UDSM_EXPORT void getdllextrainfo(int32_t* iMod, char* text, int32_t* iValues,
                                         double* rValues, size_t textLength) {
  const char* name = "#probe model";
  for (size_t i = 0; i < textLength && name[i] != '\0'; ++i) text[i] = name[i];
  iValues[0] = *iMod;
  rValues[9] = 2.5;
}

SOILCAL_UDSM_EXPORT void setdllextrainfo(SoilcalUdsmRealInfo* realInfo,
                                         SoilcalUdsmIntInfo* intInfo) {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.realInfo = *realInfo;
  log.intInfo = *intInfo;
  ++log.extraInfoCalls;
}

// Test access to what the library saw.
SOILCAL_UDSM_EXPORT int ProbeCallCount() {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  return static_cast<int>(log.calls.size());
}

SOILCAL_UDSM_EXPORT int ProbeCall(int k, ProbeRecord* out) {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  if (k < 0 || k >= static_cast<int>(log.calls.size())) return 0;
  *out = log.calls[static_cast<std::size_t>(k)];
  return 1;
}

SOILCAL_UDSM_EXPORT void ProbeReset() {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.calls.clear();
  log.extraInfoCalls = 0;
}

SOILCAL_UDSM_EXPORT int ProbeExtraInfo(SoilcalUdsmRealInfo* realInfo, SoilcalUdsmIntInfo* intInfo) {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  *realInfo = log.realInfo;
  *intInfo = log.intInfo;
  return log.extraInfoCalls;
}

}  // extern "C"
