// Feature toggles: empty files in a "toggles" folder beside the program or
// beside the program's folder. Only their existence is looked at.
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/paths.hpp"

namespace soilcal::services {

bool CheckToggleIn(const std::string& programFolder, const std::string& name, std::string* path) {
  std::string candidate = programFolder + "toggles/" + name;
  bool found = FileExists(candidate);
  if (!found) {
    candidate = programFolder + "../toggles/" + name;
    found = FileExists(candidate);
  }
  if (found && Diag().on()) Diag().Line("Toggle found: " + candidate);
  if (path) *path = candidate;
  return found;
}

bool CheckToggle(const std::string& name, std::string* path) {
  return CheckToggleIn(ProgramFolder(), name, path);
}

}  // namespace soilcal::services
