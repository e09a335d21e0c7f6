// The program's version, shown by --version of both programs.
#pragma once

namespace soilcal {

inline constexpr const char* kVersion = "1.1.0";

}  // namespace soilcal
