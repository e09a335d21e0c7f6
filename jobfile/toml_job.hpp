// The TOML job file: read, checked and turned into the native job it stands
// for. Reading never writes anything; a job that fails a check raises a run
// error (services::RunError) whose text names the file, the line and the fix.
#pragma once

#include <string>

#include "jobfile/native_job.hpp"

namespace soilcal::jobfile {

// Reads the TOML job at `path` (CSV paths are relative to its folder).
NativeJob ReadTomlJob(const std::string& path);

// Reads TOML text as if it were the file `path` (for tests and fuzzing).
NativeJob ReadTomlText(const std::string& text, const std::string& path);

// True when `path` names a TOML job file (".toml", any letter case).
bool IsTomlJob(const std::string& path);

}  // namespace soilcal::jobfile
