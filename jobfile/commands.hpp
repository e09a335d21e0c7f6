// The front door's three commands: a TOML job written as its native job
// (beside it in JOB.out/ for a run, or into a folder of one's choice), and a
// native job written as a TOML job.
#pragma once

#include <string>

namespace soilcal::jobfile {

// The folder of the native job of `tomlPath`: "PATH/JOB.out/" for
// "PATH/JOB.toml".
std::string NativeFolderOf(const std::string& tomlPath);

// Reads the TOML job and writes its native job into `folder`; returns the
// path of the optimisation file written. Throws services::RunError for a job
// that fails its checks, before anything is written.
std::string WriteNativeFromToml(const std::string& tomlPath, const std::string& folder);

// Reads the native job of `optimisationFile` with the program's own readers
// and writes it as the TOML job `tomlPath` with its CSV files beside it.
// Throws services::RunError.
void WriteTomlFromNative(const std::string& optimisationFile, const std::string& tomlPath);

}  // namespace soilcal::jobfile
