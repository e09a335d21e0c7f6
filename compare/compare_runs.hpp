// A comparison of several calibrations of the same tests: each model's job
// is run (or its finished run reused) as `soilcal OPTIM.TXT` runs it, in
// its own folder with its own result file, report and summary; then the
// summaries are read back, ranked, and comparison.json and
// comparison_report.html are written.
#pragma once

#include <string>
#include <vector>

#include "run/options.hpp"

namespace soilcal::compare {

struct ModelToCompare {
  std::string name;              // as the comparison names it
  std::string label;             // short: the TOML job's label, or the folder's name
  std::string folder;            // its job folder, a program path with separator
  std::string folderText;        // the folder as comparison.json gives it
  std::string optimisationFile;  // the native job to run
  bool reuse = false;            // its finished run is there: nothing to run
};

struct ComparisonSettings {
  run::RunOptions options;    // search, solver, uncertainty and models of every run
  std::string title;          // the job file, or the jobs compared
  std::string outputFolder;   // where the two files go, with separator ("" = current)
};

// Runs the models one after another (an interrupt stops the one running and
// starts no other), compares them and writes the two files. Standard error
// gets a line per model, the verdict and the path of the report. Returns the
// process status under --exit-status: the highest of the runs' statuses, 74
// when a comparison file cannot be written.
int RunComparison(const std::vector<ModelToCompare>& models, const ComparisonSettings& settings);

// The two files of a comparison in `folder`, removed before a new one starts
// so that an interrupted comparison leaves nothing that looks finished.
void RemoveComparisonFiles(const std::string& folder);

}  // namespace soilcal::compare
