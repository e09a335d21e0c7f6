// Texts of --help and --version.
#pragma once

#include <string>

namespace soilcal::run {

// Usage of the program: the argument, the flag files, the toggles folder,
// where the outcome goes, the options.
std::string UsageText();
// "soilcal <version>"
std::string VersionText();

}  // namespace soilcal::run
