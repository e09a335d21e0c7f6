#include "labtest/extended_models.hpp"

#include "services/paths.hpp"

namespace soilcal::labtest {

bool ExtendedModelsRequested(bool option, const std::string& folder) {
  return option || services::FileExists(folder + kExtendedModelsFlagFile);
}

}  // namespace soilcal::labtest
