#include "run/search_choice.hpp"

#include "optimisation/exact_finish.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

SearchMode ChooseSearch(SearchMode commandLine, const std::string& folder) {
  if (commandLine == SearchMode::kThorough) return SearchMode::kThorough;
  return services::FileExists(folder + kThoroughFlagFile) ? SearchMode::kThorough
                                                          : SearchMode::kDefault;
}

optimisation::SwarmResult RunSearch(SearchMode mode, const optimisation::SwarmOptions& options,
                                    optimisation::Problem& problem, SolverChoice solver,
                                    long thoroughBudget) {
  if (mode == SearchMode::kThorough) {
    optimisation::ThoroughOptions thorough;
    thorough.maxEvaluations = thoroughBudget;
    thorough.fastSearch = solver != SolverChoice::kPrescribed;
    return optimisation::ThoroughSearch(options, problem, thorough);
  }
  if (solver != SolverChoice::kFast || !problem.SetPrecision(optimisation::Precision::kFast)) {
    return optimisation::PSwarm(options, problem);
  }
  optimisation::SwarmResult result = optimisation::PSwarm(options, problem);
  optimisation::FinishExactly(options, problem, result);
  return result;
}

}  // namespace soilcal::run
