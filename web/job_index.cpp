#include "web/job_index.hpp"

#include <algorithm>
#include <fstream>
#include <string>
#include <type_traits>

#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "jobs/output_folder.hpp"
#include "report/summary_json.hpp"
#include "services/errors.hpp"

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMostJobs = 5000;

// A value of the summary or the comparison that may be null (a number the
// run never got, a NaN written as null): `otherwise` then.
template <typename T>
T ValueOr(const nlohmann::json& j, const char* key, T otherwise) {
  if (!j.is_object() || !j.contains(key) || j.at(key).is_null()) return otherwise;
  const nlohmann::json& v = j.at(key);
  if constexpr (std::is_same_v<T, std::string>) {
    return v.is_string() ? v.get<std::string>() : otherwise;
  } else {
    return v.is_number() ? v.get<T>() : otherwise;
  }
}
constexpr int kDeepest = 8;

// A job of several models ([[models]]) leaves comparison.json: the state is
// "compared", with the verdict and the best model's error.
nlohmann::json ComparisonStatus(const fs::path& outputs, nlohmann::json status, bool running) {
  std::ifstream in(outputs / "comparison.json");
  if (!in) return status;
  const nlohmann::json comparison = nlohmann::json::parse(in, nullptr, false);
  if (comparison.is_discarded() || !comparison.is_object()) return status;
  if (!running) status["state"] = "compared";
  status["verdict"] = ValueOr<std::string>(comparison, "verdict", "");
  if (comparison.contains("models") && comparison["models"].is_array() &&
      !comparison["models"].empty() && comparison["models"][0].is_object()) {
    const nlohmann::json& best = comparison["models"][0];
    status["best_model"] = ValueOr<std::string>(best, "name", "");
    if (best.contains("mean_relative_error")) status["mean_relative_error"] = best["mean_relative_error"];
  }
  return status;
}

}  // namespace

bool IsJobName(const fs::path& path) {
  return jobfile::IsTomlJob(path.string()) || path.filename() == jobfile::kOptimisationFileName;
}

std::vector<std::string> FindJobs(const fs::path& root) {
  std::vector<std::string> jobs;
  std::error_code error;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    std::error_code kind;
    if (entry.is_symlink(kind)) continue;  // never out of the folder through a link
    if (entry.is_directory(kind)) {
      const bool output = name.size() > 4 && name.substr(name.size() - 4) == ".out";
      if (name.front() == '.' || output || it.depth() >= kDeepest) it.disable_recursion_pending();
      continue;
    }
    if (entry.is_regular_file(kind) && IsJobName(entry.path())) {
      jobs.push_back(entry.path().lexically_relative(root).generic_string());
      if (jobs.size() >= kMostJobs) break;
    }
  }
  std::sort(jobs.begin(), jobs.end());
  return jobs;
}

fs::path OutputsOf(const fs::path& job) { return fs::path(jobs::OutputFolderOf(job.string())); }

nlohmann::json JobStatus(const fs::path& root, const std::string& job, bool running) {
  const fs::path path = root / job;
  nlohmann::json status = {{"job", job},
                           {"kind", jobfile::IsTomlJob(job) ? "toml" : "native"},
                           {"state", running ? "running" : "never_run"}};
  std::ifstream in(OutputsOf(path) / report::kSummaryFileName);
  if (!in) return ComparisonStatus(OutputsOf(path), std::move(status), running);
  const nlohmann::json summary = nlohmann::json::parse(in, nullptr, false);
  if (summary.is_discarded() || !summary.is_object()) return status;
  const int code = ValueOr(summary, "exit_code", -1);
  const bool kernelError = summary.contains("kernel_error") && !summary["kernel_error"].is_null();
  if (!running) {
    status["state"] = kernelError || (code != 0 && code != services::kUserAbort) ? "failed"
                      : code == services::kUserAbort                             ? "aborted"
                                                               : "calibrated";
  }
  status["exit_code"] = code;
  status["wall_time_ms"] = ValueOr(summary, "wall_time_ms", 0);
  if (summary.contains("best") && summary["best"].is_object() &&
      summary["best"].contains("mean_relative_error")) {
    status["mean_relative_error"] = summary["best"]["mean_relative_error"];
  }
  if (kernelError) {
    status["message"] = summary["kernel_error"].is_string() ? summary["kernel_error"].get<std::string>()
                                                            : summary["kernel_error"].dump();
  } else if (code != 0) {
    status["message"] = ValueOr<std::string>(summary, "exit_name", "");
  }
  return status;
}

}  // namespace soilcal::web
