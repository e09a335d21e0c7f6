// Loaded user-model libraries, cached process-wide: a library file is
// opened once however many sessions and threads use it, and stays loaded to
// the end of the process. The entries hold nothing that a simulation changes.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "services/library.hpp"
#include "soilcal/user_model.h"

namespace soilcal::models::udsm {

struct LoadedLibrary {
  services::SharedLibrary lib;
  std::string path;                 // the file that was opened
  // Serialises the calls into this library unless the session allows
  // parallel calls (toggle USE_PARALLEL_UDSM_STRESS_INTEGRATION).
  mutable std::mutex callMutex;

  // Entry points, looked up once at load.
  SoilcalUserModFunc* entry = nullptr;           // User_Mod, USER_MOD or user_mod
  SoilcalStateVarUsageFunc* stateVarUsage = nullptr;
  SoilcalGetExtraInfoFunc* getExtraInfo = nullptr;
  SoilcalSetExtraInfoFunc* setExtraInfo = nullptr;
  SoilcalDescribeFunc* describe = nullptr;       // DescribeUserModel (optional)
  // Bridge exports (only for the bridge library).
  SoilcalUqUsrModFunc* uqUsrMod = nullptr;
  SoilcalSetDllNameFunc* setDllName = nullptr;
};

// Opens the library file `path` (an existing file) once; later calls with the
// same path return the same entry. nullptr when it cannot be loaded; `error`
// then receives the loader's text.
std::shared_ptr<const LoadedLibrary> LoadLibraryOnce(const std::string& path, std::string* error);

// The bridge library "UqUsrMod.DLL", loaded once by program name.
std::shared_ptr<const LoadedLibrary> LoadBridgeOnce(std::string* error);

// Name of the entry found: "User_Mod", "USER_MOD", "user_mod", or "".
const char* EntryName(const LoadedLibrary& library);

}  // namespace soilcal::models::udsm
