// The jobs under a workbench's folder and what is known of each: never
// run, running, calibrated (mean relative error, time) or failed (sentence).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace soilcal::web {

// Every TOML job and native OPTIM.TXT under `root` (canonical), relative
// with '/' separators, sorted. Output folders (JOB.out/), hidden folders and
// symbolic links are not entered.
std::vector<std::string> FindJobs(const std::filesystem::path& root);

// True for a name the workbench treats as a job (".toml" or OPTIM.TXT).
bool IsJobName(const std::filesystem::path& path);

// {"job", "kind": "toml"|"native", "state": "never_run"|"running"|"calibrated"|
// "aborted"|"failed", and from the last run's summary "exit_code",
// "mean_relative_error", "wall_time_ms", "message"}.
nlohmann::json JobStatus(const std::filesystem::path& root, const std::string& job, bool running);

// The folder the outputs of `job` (absolute) are written into, with a
// trailing separator: JOB.out/ for a TOML job, the job folder otherwise.
std::filesystem::path OutputsOf(const std::filesystem::path& job);

}  // namespace soilcal::web
