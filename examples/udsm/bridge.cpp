// Bridge library UqUsrMod (libUqUsrMod.so): serves user-model libraries
// that export none of User_Mod, USER_MOD and user_mod. soilcal tells it the
// library of each material set with Set_DLL_Name and then calls Uq_Usr_Mod
// for every request; the bridge loads the library on first use (the same
// "64" and folder rules as soilcal, relative to the bridge's own folder) and
// calls its entry point UserModelEntry.
//
// Result codes: 0 success, 1 the library could not be loaded, 2 it has no
// UserModelEntry, 3 the call raised an exception.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

#include "soilcal/user_model.h"

namespace {

struct Library {
  std::string name;                      // as given by Set_DLL_Name
  bool tried = false;                    // loading was attempted
  void* handle = nullptr;
  SoilcalUserModFunc* entry = nullptr;
};

struct Registry {
  std::mutex mutex;
  std::map<int, Library> bySet;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Insert64(const std::string& name) {
  const std::string upper = Upper(name);
  if (upper.find("64.DLL") != std::string::npos) return name;
  const std::size_t pos = upper.rfind(".DLL");
  return pos == std::string::npos ? name : name.substr(0, pos) + "64" + name.substr(pos);
}

std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&Set_DLL_Name), &info) == 0 || !info.dli_fname) return "./";
  const std::string path = info.dli_fname;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// The entry of `folder` named `file`, ignoring letter case; "" when none.
std::string FindFile(const std::string& folder, const std::string& file) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return "";
  std::string found;
  const std::string wanted = Upper(file);
  while (const dirent* e = readdir(dir)) {
    if (Upper(e->d_name) == wanted && (found.empty() || e->d_name == file)) found = e->d_name;
  }
  closedir(dir);
  return found.empty() ? "" : folder + found;
}

void* Open(const std::string& recordName) {
  std::string name = Insert64(recordName);
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const std::string upper = Upper(name);
  const bool hasDll = upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DLL") == 0;
  const std::string stem = hasDll ? name.substr(0, name.size() - 4) : name;
  const std::array<std::string, 3> files = {name, "lib" + stem + ".so", stem + ".so"};
  const std::string own = OwnFolder();
  const std::array<std::string, 3> folders = {own + "../udsm/", own, own + "udsm/"};
  for (const std::string& folder : folders) {
    for (const std::string& file : files) {
      const std::string path = FindFile(folder, file);
      if (path.empty()) continue;
      if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
  }
  for (const std::string& file : files) {
    if (void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  }
  return nullptr;
}

// The set's library, loaded on first use; result code 0, 1 or 2.
int Resolve(int iSet, SoilcalUserModFunc** entry) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.bySet.find(iSet);
  if (it == r.bySet.end()) return 1;
  Library& lib = it->second;
  if (!lib.tried) {
    lib.tried = true;
    lib.handle = Open(lib.name);
    if (lib.handle) {
      lib.entry = reinterpret_cast<SoilcalUserModFunc*>(dlsym(lib.handle, "UserModelEntry"));
    }
  }
  if (!lib.handle) return 1;
  if (!lib.entry) return 2;
  *entry = lib.entry;
  return 0;
}

}  // namespace

extern "C" {

SOILCAL_UDSM_EXPORT void Set_DLL_Name(int32_t* iSet, const char* nameRecord) {
  try {
    const auto n = static_cast<unsigned char>(nameRecord[0]);
    std::string name(nameRecord + 1, nameRecord + 1 + n);
    name.erase(name.find_last_not_of(' ') + 1);
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    Library& lib = r.bySet[*iSet];
    if (lib.name != name) lib = Library{name};
  } catch (...) {
    // Nothing may leave the library; a failed registration shows as result 1.
  }
}

SOILCAL_UDSM_EXPORT void Uq_Usr_Mod(int32_t* iSet, SOILCAL_UDSM_ARGUMENTS, int32_t* iResult) {
  try {
    SoilcalUserModFunc* entry = nullptr;
    *iResult = Resolve(*iSet, &entry);
    if (*iResult != 0) return;
    entry(IDTask, iMod, IsUndr, iStep, iTer, iEl, Int, X, Y, Z, Time0, dTime, Props, Sig0, Swp0,
          StVar0, dEps, D, BulkW, Sig, Swp, StVar, ipl, nStat, NonSym, iStrsDep, iTimeDep, iTang,
          iReserved1, iReserved2, iAbort);
  } catch (...) {
    *iResult = 3;
  }
}

}  // extern "C"
