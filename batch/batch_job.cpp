#include "batch/batch_job.hpp"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::batch {
namespace {

template <typename T>
std::optional<T> Number(const nlohmann::json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number()) return std::nullopt;
  return j[key].get<T>();
}

}  // namespace

JobFigures ReadJobFigures(const std::string& summaryPath, double notBefore) {
  JobFigures figures;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file(services::ResolvePath(summaryPath));
  const auto written = fs::last_write_time(file, ec);
  if (ec) return figures;
  const double seconds = std::chrono::duration<double>(written.time_since_epoch()).count();
  if (seconds < notBefore - 0.02) return figures;
  std::string text;
  if (!services::ReadRegularFile(file.string(), text)) return figures;
  const nlohmann::json summary = nlohmann::json::parse(text, nullptr, false);
  if (summary.is_discarded() || !summary.is_object()) return figures;
  if (summary.contains("best")) {
    figures.meanError = Number<double>(summary["best"], "mean_relative_error");
    figures.objective = Number<double>(summary["best"], "objective");
  }
  figures.evaluations = Number<long>(summary, "evaluations");
  if (summary.contains("parameters") && summary["parameters"].is_array()) {
    for (const nlohmann::json& p : summary["parameters"]) {
      const auto value = Number<double>(p, "calibrated");
      if (!value || !p.contains("name") || !p["name"].is_string()) continue;
      // The unit goes with the name: a TOML job's phi in degrees is not a
      // native job's phi, a sine.
      std::string column = p["name"].get<std::string>();
      if (p.contains("unit") && p["unit"].is_string() && !p["unit"].get<std::string>().empty()) {
        column += " (" + p["unit"].get<std::string>() + ")";
      }
      figures.parameters.emplace_back(std::move(column), *value);
    }
  }
  return figures;
}

}  // namespace soilcal::batch
