#include "run/search_choice.hpp"

#include "optimisation/thorough_search.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

SearchMode ChooseSearch(SearchMode commandLine, const std::string& folder) {
  if (commandLine == SearchMode::kThorough) return SearchMode::kThorough;
  return services::FileExists(folder + kThoroughFlagFile) ? SearchMode::kThorough
                                                          : SearchMode::kDefault;
}

optimisation::SwarmResult RunSearch(SearchMode mode, const optimisation::SwarmOptions& options,
                                    optimisation::Problem& problem) {
  if (mode == SearchMode::kThorough) return optimisation::ThoroughSearch(options, problem);
  return optimisation::PSwarm(options, problem);
}

}  // namespace soilcal::run
