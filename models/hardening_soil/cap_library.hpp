// The cap-parameter library of the Hardening Soil models: "zarirude.dll"
// (libzarirude.so beside the program) with its entry point HS_CapItr, which
// fits the cap to EOedRef and K0nc.
#pragma once

#include "models/family.hpp"
#include "services/library.hpp"

namespace soilcal::models::hardening_soil {

inline constexpr const char* kCapLibraryName = "zarirude.dll";

// Models 6 and 19 (any drainage type) need the library.
constexpr bool NeedsCapLibrary(int modelNumber) {
  const int base = modelNumber % 100;
  return base == 6 || base == 19;
}

enum class CapLibraryLoad { kLoaded, kNotLoaded, kNoEntryPoint };

// Loads the library into `library` and resolves HS_CapItr into `capItr`
// (left as it was unless the whole load succeeds).
CapLibraryLoad LoadCapLibrary(services::SharedLibrary& library, HsCapItrFn& capItr);

}  // namespace soilcal::models::hardening_soil
