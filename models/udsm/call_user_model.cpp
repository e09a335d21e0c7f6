// CallUserModel: the 31-argument call into a user library, directly or
// through the bridge, and the labelled dump of a call for the diagnostic
// file.
#include <mutex>
#include <span>

#include "models/udsm/call_dump.hpp"
#include "models/udsm/library_cache.hpp"
#include "models/udsm/modusr3d.hpp"
#include "services/diag.hpp"

namespace soilcal::models::udsm {
namespace {

// Unique lock that is only taken when the calls must stay on one thread.
std::unique_lock<std::mutex> SerialiseUnless(bool parallel, const LoadedLibrary& library) {
  return parallel ? std::unique_lock<std::mutex>() : std::unique_lock<std::mutex>(library.callMutex);
}

void CallDirect(SoilcalUserModFunc* f, UserArgs& a) {
  f(&a.IDTask, &a.iMod, &a.IsUndr, &a.iStep, &a.iTer, &a.iEl, &a.Int, &a.X, &a.Y, &a.Z,
    &a.Time0, &a.dTime, a.Props.data(), a.Sig0.data(), &a.Swp0, a.StVar0, a.dEps.data(),
    a.D.data(), &a.BulkW, a.Sig.data(), &a.Swp, a.StVar, &a.ipl, &a.nStat, &a.NonSym,
    &a.iStrsDep, &a.iTimeDep, &a.iTang, &a.iReserved1, &a.iReserved2, &a.iAbort);
}

void CallBridge(SoilcalUqUsrModFunc* f, std::int32_t iSet, UserArgs& a, std::int32_t& result) {
  f(&iSet, &a.IDTask, &a.iMod, &a.IsUndr, &a.iStep, &a.iTer, &a.iEl, &a.Int, &a.X, &a.Y, &a.Z,
    &a.Time0, &a.dTime, a.Props.data(), a.Sig0.data(), &a.Swp0, a.StVar0, a.dEps.data(),
    a.D.data(), &a.BulkW, a.Sig.data(), &a.Swp, a.StVar, &a.ipl, &a.nStat, &a.NonSym,
    &a.iStrsDep, &a.iTimeDep, &a.iTang, &a.iReserved1, &a.iReserved2, &a.iAbort, &result);
}

}  // namespace

int CallUserModel(const Session& session, int iSet, UserArgs& args) {
  if (iSet < 1 || iSet >= static_cast<int>(session.links.size())) return 1;
  const SetLink& link = session.links[static_cast<std::size_t>(iSet)];
  if (!link.linked || !link.library) return 1;
  // A C++ exception from a library is a crash of the library, never of the
  // program: it is caught here and reported as bridge result 3.
  try {
    if (link.entry) {
      auto lock = SerialiseUnless(session.parallelCalls, *link.library);
      CallDirect(link.entry, args);
      return 0;
    }
    if (!session.bridge || !session.bridge->uqUsrMod) return 1;
    std::int32_t result = 0;
    {
      auto lock = SerialiseUnless(session.parallelCalls, *session.bridge);
      CallBridge(session.bridge->uqUsrMod, iSet, args, result);
    }
    if (args.IDTask == 4 && services::Diag().on()) services::Diag().Line("nstat:", args.nStat);
    return result;
  } catch (...) {
    return 3;
  }
}

void DumpUserArgs(const UserArgs& a, bool withResults) {
  auto& diag = services::Diag();
  if (!diag.on()) return;
  const auto n = static_cast<std::size_t>(a.nStat > 0 ? a.nStat : 0);
  diag.Line("IDTask", a.IDTask);
  diag.Line("iMod", a.iMod);
  diag.Line("IsUndr", a.IsUndr);
  diag.Line("iStep", a.iStep);
  diag.Line("iTer", a.iTer);
  diag.Line("iEl", a.iEl);
  diag.Line("Int", a.Int);
  diag.Line("X", a.X);
  diag.Line("Y", a.Y);
  diag.Line("Z", a.Z);
  diag.Line("Time0", a.Time0);
  diag.Line("dTime", a.dTime);
  diag.Line("Props", std::span<const double>(a.Props));
  diag.Line("Sig0", std::span<const double>(a.Sig0));
  diag.Line("Swp0", a.Swp0);
  if (a.StVar0) diag.Line("StVar0", std::span<const double>(a.StVar0, n));
  diag.Line("dEps", std::span<const double>(a.dEps));
  diag.Line("D", std::span<const double>(a.D));
  diag.Line("BulkW", a.BulkW);
  diag.Line("nStat", a.nStat);
  if (!withResults) return;
  diag.Line(" and some results:");
  diag.Line("ipl", a.ipl);
  diag.Line("Sig", std::span<const double>(a.Sig));
  diag.Line("Swp", a.Swp);
  if (a.StVar) diag.Line("StVar", std::span<const double>(a.StVar, n));
}

}  // namespace soilcal::models::udsm
