// The spelling of the program argument that names the optimisation file.
#pragma once

#include <string>

namespace soilcal::run {

// The user's own spelling when that file exists as written, else the
// upper-cased argument (the host's convention) when it exists as written,
// else the upper-cased argument, whose folders and name are then matched
// ignoring case. When no file exists, the spelling whose folder exists is
// kept, so that the result file lands where the user looks for it.
std::string ChooseArgumentSpelling(const std::string& given);

}  // namespace soilcal::run
