#include "models/hardening_soil/cap_library.hpp"

namespace soilcal::models::hardening_soil {

CapLibraryLoad LoadCapLibrary(services::SharedLibrary& library, HsCapItrFn& capItr) {
  if (!library.LoadByName(kCapLibraryName)) return CapLibraryLoad::kNotLoaded;
  void* entry = library.Symbol("HS_CapItr");
  if (entry == nullptr) return CapLibraryLoad::kNoEntryPoint;
  capItr = reinterpret_cast<HsCapItrFn>(entry);
  return CapLibraryLoad::kLoaded;
}

}  // namespace soilcal::models::hardening_soil
