// A TOML job that compares several models: [[models]] instead of [model].
// Each entry holds the keys of [model] with its own parameters and free
// parameters; the units, tests, curves and search settings are shared:
//
//   [calibrate]                    # intensity, tolerance, search: shared
//   [[models]]
//   name = "mohr_coulomb"
//   label = "mc"                   # optional: the folder under JOB.out/
//   parameters = { G = 10000, nu = 0.25, phi = 30 }
//   calibrate.free = { G = [1000, 40000], phi = [20, 50] }
//
// Each entry reads as the one-model job it stands for, so every check and
// message of a one-model job applies to it. A comparison runs the thorough
// search unless [calibrate] names the search.
#pragma once

#include <string>
#include <vector>

#include "jobfile/native_job.hpp"

namespace soilcal::jobfile {

struct ModelJob {
  // The folder of the model under JOB.out/: its label, else its model name
  // ("mohr_coulomb"), else "model_N".
  std::string label;
  // How the comparison names it: the label when the entry gives one, else
  // the model's name in words ("Mohr-Coulomb").
  std::string title;
  NativeJob job;
  // [calibrate] names the search; otherwise the job asks for the thorough
  // one (job.thorough), which --search=default on the command line may undo.
  bool searchGiven = false;
};

// True when `path` is a TOML file whose top level holds "models" (a file
// that cannot be read or parsed is left to the one-model reader's messages).
bool HasModelList(const std::string& path);

// Reads every model of the comparison at `path`, in the file's order.
// Throws services::RunError naming the file, the line and the fix.
std::vector<ModelJob> ReadModelList(const std::string& path);
std::vector<ModelJob> ReadModelListText(const std::string& text, const std::string& path);

// Writes the native job of every model of the comparison at `tomlPath` into
// `folder`/<label>/ (--write-native). Throws services::RunError before
// anything is written when the job fails a check.
void WriteNativeModels(const std::string& tomlPath, const std::string& folder);

}  // namespace soilcal::jobfile
