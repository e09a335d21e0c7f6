#include "models/udsm/link.hpp"

#include <algorithm>
#include <cstdio>
#include <new>

#include "models/udsm/library_cache.hpp"
#include "models/udsm/modusr3d.hpp"
#include "models/udsm/names.hpp"
#include "services/diag.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::models::udsm {
namespace {

using services::Diag;

std::string Address(const void* p) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", p);
  return buffer;
}

void AllocateTables(Session& session) {
  if (!session.links.empty()) return;
  session.links.resize(kMaxSets + 1);
  session.extra.resize(kMaxSets + 1);
}

// Ends the run with kernel error 26 after a library could not be loaded.
[[noreturn]] void UnableToLoad(const std::string& name, const std::string& why,
                               services::KernelMessageTexts& texts) {
  if (Diag().on()) {
    Diag().Line("Unable to load DLL");
    if (!why.empty()) Diag().Line(why);
  }
  texts.main = "Unable to load DLL: " + name;
  texts.second = "unable to load UsrMod.dll";
  services::KernelError(26, texts);
  throw services::KernelAbort(26, "ZIrez", "unable to load UsrMod.dll");
}

[[noreturn]] void Stop(const std::string& message) {
  if (Diag().on()) Diag().Line(message);
  throw services::KernelAbort(26, "ZIrez", message);
}

void WriteNameCharacters(const NameRecord& record) {
  const auto n = static_cast<unsigned char>(record[0]);
  for (int i = 1; i <= n; ++i) {
    const auto c = static_cast<unsigned char>(record[static_cast<std::size_t>(i)]);
    if (c >= 1 && c <= 127) Diag().Line(std::string(1, static_cast<char>(c)), i);
  }
}

void ReadExtraInfo(const LoadedLibrary& library, int iMod, ExtraInfo& info) {
  if (!library.getExtraInfo) return;
  char text[kExtraTextLength];
  std::fill(std::begin(text), std::end(text), ' ');
  std::int32_t mod = iMod;
  try {
    library.getExtraInfo(&mod, text, info.ints.data(), info.reals.data(), kExtraTextLength);
  } catch (...) {
    if (Diag().on()) Diag().Line("getdllextrainfo failed");
    return;
  }
  info.text.assign(text + 1, text + kExtraTextLength);
  info.text.resize(kExtraTextLength, ' ');
  if (Diag().on()) {
    Diag().Line("dll string: " + services::TrimRight(info.text));
    Diag().Line("iDLLextra", std::span<const int>(info.ints.data(), info.ints.size()));
    Diag().Line("rDLLextra", std::span<const double>(info.reals));
  }
}

void GiveExtraInfo(const LoadedLibrary& library, int iSet, const MaterialSet& set,
                   double refPressure) {
  if (!library.setExtraInfo) return;
  SoilcalUdsmRealInfo reals{};
  SoilcalUdsmIntInfo ints{};
  reals.refPressure = refPressure;
  ints.iSet = iSet;
  ints.iMod = set.modelCode % 100 - 20;
  ints.drainageType = set.modelCode / 100;
  ints.modelCode = set.modelCode;
  ints.nIntPoints = 1;
  ints.nDim = 3;
  ints.virtualLab = services::VirtualLabMode();
  try {
    library.setExtraInfo(&reals, &ints);
  } catch (...) {
    if (Diag().on()) Diag().Line("setdllextrainfo failed");
  }
}

void LinkThroughBridge(Session& session, int iSet, const NameRecord& record) {
  if (!session.bridge) {
    std::string why;
    auto bridge = LoadBridgeOnce(&why);
    if (!bridge) {
      if (Diag().on() && !why.empty()) Diag().Line(why);
      Stop("unable to load UqUsrMod.dll");
    }
    if (Diag().on()) {
      Diag().Raw("p_UqUsrMod: " + Address(bridge->lib.handle()) + " " +
                 Address(reinterpret_cast<void*>(bridge->uqUsrMod)) + " " +
                 Address(reinterpret_cast<void*>(bridge->setDllName)));
    }
    if (!bridge->uqUsrMod) Stop("unable to load Uq_Usr_Mod");
    if (!bridge->setDllName) Stop("unable to load Set_DLL_Name");
    session.bridge = std::move(bridge);
  }
  std::int32_t set = iSet;
  try {
    session.bridge->setDllName(&set, record.data());
  } catch (...) {
    if (Diag().on()) Diag().Line("Set_DLL_Name failed");
  }
}

}  // namespace

void LoadUserModelLibrary(Session& session, int iSet, const NameRecord& record,
                          const MaterialSet& set, services::KernelMessageTexts& texts) {
  if (iSet < 1 || iSet > kMaxSets) {
    if (Diag().on()) Diag().Line("Get UDSM-link for material set:", iSet);
    services::KernelErrorWithTexts("Limitation: material set <1 or >1000", "");
  }
  AllocateTables(session);
  SetLink& link = session.links[static_cast<std::size_t>(iSet)];
  const std::string messageName = MessageName(record);
  // A set keeps its library for the run; a new name links it afresh.
  if (link.library && link.name != messageName) link = SetLink{};
  link.name = messageName;
  if (!link.library) {
    if (Diag().on()) WriteNameCharacters(record);
    const std::string name = Insert64(LibraryName(record));
    const std::string folder =
        session.programFolder.empty() ? services::ProgramFolder() : session.programFolder;
    const std::string path = FindUserModelLibrary(folder, name);
    if (Diag().on()) Diag().Line("if64");
    const std::string upper = services::ToUpperCase(path);
    std::string why;
    auto library = LoadLibraryOnce(ResolveLibraryFile(path), &why);
    if (!library) {
      // The kernel's own texts name the model only: the file looked for and
      // the loader's reason go to standard error first.
      services::Notice("the user-model library " + services::BareName(path) + " (material name " +
                       services::TrimRight(link.name) + ") cannot be loaded from the folder " +
                       services::ResolvePath(services::FolderOf(path)) +
                       (why.empty() ? std::string() : " (" + why + ")") +
                       "; put the library into that folder or correct the library name in the "
                       "material (kernel error 26 follows)");
      UnableToLoad(services::TrimRight(link.name), why, texts);
    }
    if (Diag().on()) {
      Diag().Raw("p_DLL  : " + Address(library->lib.handle()) + " " +
                 Address(reinterpret_cast<void*>(library->entry)) + " [" + upper + "]");
      for (const char* entry : {"User_Mod", "USER_MOD", "user_mod"}) {
        Diag().Raw(std::string("p_Func : ") + Address(library->lib.Symbol(entry)));
      }
    }
    link.library = std::move(library);
    link.entry = link.library->entry;
  }
  if (Diag().on()) {
    Diag().Raw("i,dll,func: " + std::to_string(iSet) + " " + Address(link.library->lib.handle()) +
               " " + Address(reinterpret_cast<void*>(link.entry)));
  }
  const int iMod = set.modelCode % 100 - 20;
  ReadExtraInfo(*link.library, iMod, session.extra[static_cast<std::size_t>(iSet)]);
  GiveExtraInfo(*link.library, iSet, set, session.refPressure);
  if (!link.entry) LinkThroughBridge(session, iSet, record);
  link.linked = true;
}

LinkResult LinkUserModels(Session& session, int iSet, MaterialSet& set,
                          services::KernelMessageTexts& texts) {
  LinkResult result;
  if (!IsUserModel(set.modelCode % 100)) return result;
  const NameRecord record = MakeNameRecord(set.name);
  ++session.linkCount;
  if (session.linkCount <= 4 && Diag().on()) {
    Diag().Raw("Call Set_DLL_Name " + std::to_string(iSet) + " " +
               services::TrimRight(MessageName(record)));
  }
  LoadUserModelLibrary(session, iSet, record, set, texts);

  UserCall call;
  call.iSet = iSet;
  call.modelCode = set.modelCode;
  call.prop = &set.prop;
  call.IDTask = 4;
  call.mChk = kCheckStateCount;
  if ((result.iAbort = ModUsr3D(session, call, &set.prop, texts)) != 0) return result;
  const int nStat = StateVarCount(set.prop);
  if (Diag().on()) {
    Diag().Raw("iClus : 1 nStat= " + std::to_string(nStat));
  }
  session.maxNStat = std::max(session.maxNStat, nStat);
  result.maxNStat = session.maxNStat;

  call.IDTask = 5;
  call.mChk = kCheckAttributes;
  if ((result.iAbort = ModUsr3D(session, call, &set.prop, texts)) != 0) return result;

  const auto scratchSize = static_cast<std::size_t>(std::max(session.maxNStat, 1));
  if (session.scratch.size() < scratchSize) {
    session.scratch0.resize(scratchSize);
    session.scratch.resize(scratchSize);
  }
  return result;
}

int InitUsrStat(Session& session, const MaterialSet& set, PointStart& point,
                services::KernelMessageTexts& texts) {
  if (Diag().on()) Diag().Line("InitUsrStat");
  const int nStat = StateVarCount(set.prop);
  try {
    session.stVarUsageList.assign(static_cast<std::size_t>(std::max(nStat, 0)), 0);
  } catch (const std::bad_alloc&) {
    if (Diag().on()) Diag().Line(" ERROR allocating stVarUsageList");
  }
  const SetLink& link = session.links[static_cast<std::size_t>(point.iSet)];
  if (link.library && link.library->stateVarUsage &&
      session.stVarUsageList.size() == static_cast<std::size_t>(nStat)) {
    std::int32_t iMod = set.modelCode % 100 - 20;
    for (std::int32_t i = 1; i <= nStat; ++i) {
      try {
        link.library->stateVarUsage(&iMod, &i, &session.stVarUsageList[static_cast<std::size_t>(i - 1)]);
      } catch (...) {
        if (Diag().on()) Diag().Line("GETSTATEVARUSAGE failed");
      }
    }
  }
  UserCall call;
  call.iSet = point.iSet;
  call.IDTask = 1;
  call.mChk = kCheckInit;
  call.modelCode = set.modelCode;
  call.prop = &set.prop;
  call.iEl = point.iEl;
  call.intPt = point.intPt;
  call.x = point.x;
  call.y = point.y;
  call.z = point.z;
  call.sig0 = point.sig0;
  call.swp0 = point.swp0;
  call.swp = point.swp0;
  call.stVar0 = point.stVar0;
  call.stVar = session.scratch.empty() ? nullptr : session.scratch.data();
  const int iAbort = ModUsr3D(session, call, nullptr, texts);
  if (iAbort == 0) point.sig0 = call.sig0;
  return iAbort;
}

}  // namespace soilcal::models::udsm
