#include "models/udsm/library_cache.hpp"

#include <map>

namespace soilcal::models::udsm {
namespace {

constexpr const char* kEntryNames[] = {"User_Mod", "USER_MOD", "user_mod"};

template <typename F>
F* Lookup(const services::SharedLibrary& lib, const char* name) {
  return reinterpret_cast<F*>(lib.Symbol(name));
}

void ResolveExports(LoadedLibrary& l) {
  for (const char* name : kEntryNames) {
    l.entry = Lookup<SoilcalUserModFunc>(l.lib, name);
    if (l.entry) break;
  }
  l.stateVarUsage = Lookup<SoilcalStateVarUsageFunc>(l.lib, "GETSTATEVARUSAGE");
  l.getExtraInfo = Lookup<SoilcalGetExtraInfoFunc>(l.lib, "getdllextrainfo");
  l.setExtraInfo = Lookup<SoilcalSetExtraInfoFunc>(l.lib, "setdllextrainfo");
  l.describe = Lookup<SoilcalDescribeFunc>(l.lib, "DescribeUserModel");
  l.uqUsrMod = Lookup<SoilcalUqUsrModFunc>(l.lib, "Uq_Usr_Mod");
  l.setDllName = Lookup<SoilcalSetDllNameFunc>(l.lib, "Set_DLL_Name");
}

struct Cache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const LoadedLibrary>> byPath;
  std::shared_ptr<const LoadedLibrary> bridge;
};

// The cache lives for the whole process; it only ever grows, and what it
// holds (open libraries and their addresses) never changes once stored.
Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const LoadedLibrary> LoadLibraryOnce(const std::string& path, std::string* error) {
  Cache& cache = TheCache();
  std::lock_guard lock(cache.mutex);
  if (auto it = cache.byPath.find(path); it != cache.byPath.end()) return it->second;
  auto library = std::make_shared<LoadedLibrary>();
  if (!library->lib.LoadPath(path)) {
    if (error) *error = library->lib.error();
    return nullptr;
  }
  library->path = path;
  ResolveExports(*library);
  cache.byPath.emplace(path, library);
  return library;
}

std::shared_ptr<const LoadedLibrary> LoadBridgeOnce(std::string* error) {
  Cache& cache = TheCache();
  std::lock_guard lock(cache.mutex);
  if (cache.bridge) return cache.bridge;
  auto library = std::make_shared<LoadedLibrary>();
  if (!library->lib.LoadByName("UqUsrMod.DLL")) {
    if (error) *error = library->lib.error();
    return nullptr;
  }
  library->path = library->lib.path();
  ResolveExports(*library);
  cache.bridge = library;
  return library;
}

const char* EntryName(const LoadedLibrary& library) {
  for (const char* name : kEntryNames) {
    if (library.entry && reinterpret_cast<void*>(library.entry) == library.lib.Symbol(name)) {
      return name;
    }
  }
  return "";
}

}  // namespace soilcal::models::udsm
