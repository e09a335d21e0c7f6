/* A copy of the arguments of one call as the probe test library received
 * them; the tests read these records back through ProbeCall. */
#ifndef SOILCAL_PROBE_RECORD_H
#define SOILCAL_PROBE_RECORD_H
#include "soilcal/user_model.h"
#ifdef __cplusplus
extern "C" {
#endif
struct ProbeRecord {
  int32_t IDTask, iMod, IsUndr, iStep, iTer, nStat;
  double Time0, dTime, Swp0, Swp, BulkW;
  double Props[SOILCAL_UDSM_NPROPS];
  double Sig0[SOILCAL_UDSM_NSIG0];
  double dEps[SOILCAL_UDSM_NDEPS];
  double D[36];
  double StVar0[4];
  double StVarIn[4];
};
#ifdef __cplusplus
}
#endif
#endif
