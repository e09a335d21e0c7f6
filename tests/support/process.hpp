// Running the built programs from the tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace soilcal::testing {

struct ProcessRun {
  int exitStatus = -1;  // -1: did not end normally (crash or timeout)
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs `program` with `args` in the working folder `workDir`. Standard output
// and error are captured outside that folder; a run that takes longer than
// 120 s is killed (exitStatus -1).
ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workDir);

// The built soilcal on `argument` in `workDir` (nullopt: no argument).
ProcessRun RunSoilcal(const std::optional<std::string>& argument,
                      const std::filesystem::path& workDir);

}  // namespace soilcal::testing
