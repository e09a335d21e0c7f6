// The extended models of the lab: Sekiguchi-Ohta (31, 32), which the
// lab-test stiffness routine serves only on request, by the option
// --extended-models of soilcal and soilcal-labtest or by an empty flag file
// "extended_models" in the job folder (the folder of the optimisation file,
// or of the test file for soilcal-labtest).
#pragma once

#include <string>

namespace soilcal::labtest {

inline constexpr const char* kExtendedModelsFlagFile = "extended_models";

// The option, or the flag file in `folder` (with its trailing separator;
// "" is the current directory).
bool ExtendedModelsRequested(bool option, const std::string& folder);

}  // namespace soilcal::labtest
