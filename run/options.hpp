// The command line: options that begin with "--" come before the path of
// the optimisation input file. The host passes the path alone.
#pragma once

#include <string>
#include <vector>

namespace soilcal::run {

enum class SearchMode { kDefault, kThorough };
// The step solver of the search's evaluations: kAuto is the prescribed
// iteration for the default search and the fast one for the thorough
// search; the reported figures always come from the prescribed iteration.
enum class SolverChoice { kAuto, kFast, kPrescribed };
// --uncertainty=off|linear|profile; kAuto: linearised after the default
// search, with profile likelihoods after the thorough one.
enum class UncertaintyMode { kAuto, kOff, kLinear, kProfile };

struct RunOptions {
  bool help = false;            // --help: usage, no run
  bool version = false;         // --version: version, no run
  bool exitStatus = false;      // --exit-status: the outcome becomes the process status
  // --verbose: a front end's run (TOML job, comparison) also prints the
  // lines of its console log on standard output.
  bool verbose = false;
  SearchMode search = SearchMode::kDefault;  // --search=default|thorough
  bool extendedModels = false;  // --extended-models: Sekiguchi-Ohta in the lab
  SolverChoice solver = SolverChoice::kAuto;  // --solver=fast|prescribed
  UncertaintyMode uncertainty = UncertaintyMode::kAuto;
  bool progressJson = false;    // --progress=json: one JSON line per progress report on stderr
  bool progressCurves = false;  // --progress=curves: those lines, and the curves of each new best point
  bool hasPath = false;         // an optimisation input file was named
  std::string path;             // as given on the command line
  std::vector<std::string> unknown;  // options not understood, in order
};

// Reads argv[1..argc-1]. The first argument that does not begin with "--"
// is the path; everything after it is ignored, as the host expects.
RunOptions ParseCommandLine(int argc, char** argv);

}  // namespace soilcal::run
