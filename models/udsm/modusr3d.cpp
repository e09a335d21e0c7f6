#include "models/udsm/modusr3d.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "models/udsm/call_dump.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"

namespace soilcal::models::udsm {
namespace {

using services::Diag;
using services::FillIntegerPlaceholder;

bool IsUndrained(int modelCode) { return modelCode / 100 == 2; }

void FillArgs(const Session& session, const UserCall& c, UserArgs& a, double* none) {
  a.IDTask = c.IDTask;
  a.iMod = c.modelCode % 100 - 20;
  a.IsUndr = IsUndrained(c.modelCode) ? 1 : 0;
  a.iStep = c.iStep;
  a.iTer = c.iTer;
  a.iEl = c.iEl;
  a.Int = c.intPt;
  a.X = c.x;
  a.Y = c.y;
  a.Z = c.z;
  a.Time0 = c.time0;
  const bool stepTask = c.IDTask == 2 || c.IDTask == 3 || c.IDTask == 6;
  a.dTime = stepTask ? c.dTime : 0.0;
  std::copy_n(c.prop->slot.begin() + 31, SOILCAL_UDSM_NPROPS, a.Props.begin());
  // Element by element: these small blocks are filled on every stress call.
  for (std::size_t i = 0; i < 6; ++i) {
    a.Sig0[i] = c.sig0[i];
    a.dEps[i] = c.dEps[i];
    a.dEps[i + 6] = 0.0;
    a.Sig[i] = 0.0;
  }
  a.Sig0[6] = a.Sig0[7] = a.Sig0[8] = 0.0;
  a.Sig0[9] = c.satEnd;
  a.Sig0[10] = c.satStart;
  a.Sig0[11] = c.suctionEnd;
  a.Sig0[12] = c.suctionStart;
  for (std::size_t i = 13; i < SOILCAL_UDSM_NSIG0; ++i) a.Sig0[i] = 0.0;
  a.Swp0 = c.swp0;
  // In a drained stress call outside the virtual lab the library starts from
  // the pore pressure at the start of the step; otherwise from the caller's.
  const bool drainedStress = c.IDTask == 2 && !a.IsUndr && services::VirtualLabMode() != 1;
  a.Swp = drainedStress ? c.swp0 : c.swp;
  a.StVar0 = c.stVar0 ? c.stVar0 : none;
  a.StVar = c.stVar ? c.stVar : none;
  // Without state arrays (tasks 4 and 5) the library is told of none.
  a.nStat = (c.stVar0 && c.stVar) ? StateVarCount(*c.prop) : 0;
  if (c.IDTask == 2) {
    for (std::size_t j = 0; j < 6; ++j) {
      for (std::size_t i = 0; i < 6; ++i) a.D[i + 6 * j] = session.savedStiffness[i][j];
    }
    a.BulkW = c.bulkW;
    if (a.StVar != a.StVar0) std::copy_n(a.StVar0, a.nStat, a.StVar);
  } else {
    a.D.fill(0.0);
    a.BulkW = 0.0;
  }
}

int BridgeFailure(int result, const UserCall& c, services::KernelMessageTexts& texts) {
  if (Diag().on()) Diag().Line("iDLLResult : ", result);
  texts.second.clear();
  switch (result) {
    case 1:
      texts.main = FillIntegerPlaceholder("Error loading UDSM-DLL, material set %I", c.iSet);
      return 26;
    case 2:
      texts.main = FillIntegerPlaceholder("Error loading function from UDSM-DLL, set %I", c.iSet);
      return 26;
    case 3: {
      std::string text = FillIntegerPlaceholder("Crash in UDSM-DLL, set %I, elm %I, gp %I", c.iSet);
      text = FillIntegerPlaceholder(text, c.iEl);
      texts.main = FillIntegerPlaceholder(text, c.intPt);
      return 246;
    }
    default:
      texts.main = FillIntegerPlaceholder("Other error in UDSM-DLL, set %I", c.iSet);
      return 246;
  }
}

int AbortWithTexts(const char* main, long long value, services::KernelMessageTexts& texts) {
  texts.main = main;
  texts.second = FillIntegerPlaceholder("iAbort=%I", value);
  return 247;
}

int CountNaN(const UserArgs& a) {
  int n = 0;
  for (double v : a.Sig) n += std::isnan(v) ? 1 : 0;
  return n + (std::isnan(a.Swp) ? 1 : 0);
}

int StressAnswer(const UserArgs& a, UserCall& c, services::KernelMessageTexts& texts) {
  if (const int nNaN = CountNaN(a); nNaN > 0) {
    if (Diag().on()) {
      Diag().Line("sig has NaN", std::span<const int>(std::array<int, 3>{c.iEl, c.intPt, nNaN}));
      Diag().Line("input for UDSM:");
      DumpUserArgs(a, true);
    }
    return AbortWithTexts("Abort request from MODUSR3D-subroutine !", 1, texts);
  }
  for (std::size_t i = 0; i < 6; ++i) c.sig[i] = a.Sig[i];
  c.swp = a.Swp;
  c.ipl = a.ipl;
  return 0;
}

void StiffnessAnswer(Session& session, const UserArgs& a, UserCall& c) {
  for (std::size_t j = 0; j < 6; ++j) {
    for (std::size_t i = 0; i < 6; ++i) {
      const double d = a.D[i + 6 * j];
      c.D[i][j] = d;
      session.savedStiffness[i][j] = d;
    }
  }
  c.bulkW = a.BulkW;
  if (a.IsUndr == 1 && c.bulkW < 1e-30) {
    double sum = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) sum += c.D[i][j];
    }
    c.bulkW = 100.0 * sum / 9.0;
  }
}

int StateCountAnswer(const UserArgs& a, UserCall& c, PropSoil* setProp,
                     services::KernelMessageTexts& texts) {
  if (a.nStat < 0 || a.nStat > kMaxUserStateVars) {
    if (Diag().on()) Diag().Line("Invalid number of state variables from UDSM-DLL:", a.nStat);
    texts.main = FillIntegerPlaceholder(
        "Invalid number of state variables from UDSM-DLL, set %I", c.iSet);
    texts.second = FillIntegerPlaceholder("nStat=%I", a.nStat);
    return 247;
  }
  c.nStat = a.nStat;
  if (setProp) (*setProp)[30] = static_cast<double>(a.nStat);
  return 0;
}

void InitAnswer(const UserArgs& a, UserCall& c) {
  int nNaN = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    c.sig0[i] = a.Sig0[i];
    nNaN += std::isnan(a.Sig0[i]) ? 1 : 0;
  }
  if (nNaN > 0 && Diag().on()) {
    Diag().Line("Sig0 has NaN", std::span<const int>(std::array<int, 3>{c.iEl, c.intPt, nNaN}));
  }
}

void AttributesAnswer(Session& session, const UserArgs& a) {
  MatrixAttributes& f = session.attributes;
  if (a.NonSym == 1) f.NonSym = 1;
  if (a.iStrsDep == 1) f.iStrsDep = 1;
  if (a.iTimeDep == 1) f.iTimeDep = 1;
  if (a.iTang == 1) f.iTang = 1;
}

}  // namespace

int ModUsr3D(Session& session, UserCall& c, PropSoil* setProp,
             services::KernelMessageTexts& texts) {
  if (c.mChk <= 800) {
    if (Diag().on()) Diag().Line("ModUsr3D: invalid check word", c.mChk);
    texts.main = "Abort request from MODUSR3D-subroutine !";
    texts.second = FillIntegerPlaceholder("mChk=%I", c.mChk);
    return 247;
  }
  double none[1] = {0.0};
  UserArgs a;
  FillArgs(session, c, a, none);
  if (const int result = CallUserModel(session, c.iSet, a); result != 0) {
    return BridgeFailure(result, c, texts);
  }
  if (a.iAbort != 0) {
    if (c.IDTask == 2 && Diag().on()) {
      Diag().Line("iAbort from USER-subroutine");
      DumpUserArgs(a, false);
    }
    return AbortWithTexts("Abort request from USER-subroutine !", a.iAbort, texts);
  }
  switch (c.IDTask) {
    case 1: InitAnswer(a, c); return 0;
    case 2: return StressAnswer(a, c, texts);
    case 3:
    case 6: StiffnessAnswer(session, a, c); return 0;
    case 4: return StateCountAnswer(a, c, setProp, texts);
    case 5: AttributesAnswer(session, a); return 0;
    default: return 0;
  }
}

}  // namespace soilcal::models::udsm
