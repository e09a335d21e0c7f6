#include "run/options.hpp"

#include <string_view>

namespace soilcal::run {
namespace {

bool ApplyOption(std::string_view arg, RunOptions& options) {
  if (arg == "--help") {
    options.help = true;
  } else if (arg == "--version") {
    options.version = true;
  } else if (arg == "--exit-status") {
    options.exitStatus = true;
  } else if (arg == "--verbose") {
    options.verbose = true;
  } else if (arg == "--search=thorough") {
    options.search = SearchMode::kThorough;
  } else if (arg == "--search=default") {
    options.search = SearchMode::kDefault;
  } else if (arg == "--extended-models") {
    options.extendedModels = true;
  } else if (arg == "--solver=fast") {
    options.solver = SolverChoice::kFast;
  } else if (arg == "--solver=prescribed") {
    options.solver = SolverChoice::kPrescribed;
  } else if (arg == "--progress=json") {
    options.progressJson = true;
  } else if (arg == "--progress=curves") {
    options.progressJson = true;
    options.progressCurves = true;
  } else if (arg == "--uncertainty=off") {
    options.uncertainty = UncertaintyMode::kOff;
  } else if (arg == "--uncertainty=linear") {
    options.uncertainty = UncertaintyMode::kLinear;
  } else if (arg == "--uncertainty=profile") {
    options.uncertainty = UncertaintyMode::kProfile;
  } else {
    return false;
  }
  return true;
}

}  // namespace

RunOptions ParseCommandLine(int argc, char** argv) {
  RunOptions options;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() > 2 && arg.substr(0, 2) == "--") {
      if (!ApplyOption(arg, options)) options.unknown.emplace_back(arg);
      continue;
    }
    options.hasPath = true;
    options.path = std::string(arg);
    break;
  }
  return options;
}

}  // namespace soilcal::run
