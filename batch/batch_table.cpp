#include "batch/batch_table.hpp"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <csignal>
#include <cstring>

#include "run/result_file.hpp"

namespace soilcal::batch {
namespace {

std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Shortest text that reads back to the same double.
std::string Number(double v) {
  char buffer[64];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

template <typename T>
std::string Optional(const std::optional<T>& v) {
  if (!v) return "";
  if constexpr (std::is_floating_point_v<T>) return Number(*v);
  return std::to_string(*v);
}

}  // namespace

std::string StatusName(const BatchJob& job) {
  if (!job.started) return "USER_ABORT (not started)";
  if (job.signal != 0) {
    const char* name = sigabbrev_np(job.signal);
    return std::string("ended by signal ") + (name != nullptr ? std::string("SIG") + name
                                                              : std::to_string(job.signal));
  }
  if (job.status == 0) return "";
  if (job.status == 1) return "kernel error";
  if (job.status >= 2 && job.status <= 19) return run::ExitCodeName(job.status);
  return "status " + std::to_string(job.status);
}

std::string BatchTableCsv(const std::vector<BatchJob>& jobs) {
  std::vector<std::string> names;
  for (const BatchJob& job : jobs) {
    for (const auto& [name, value] : job.figures.parameters) {
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  std::string csv =
      "job,exit_code,exit_name,mean_relative_error,objective,evaluations,wall_time_s";
  for (const std::string& name : names) {
    csv += ',';
    csv += Field(name);
  }
  csv += '\n';
  for (const BatchJob& job : jobs) {
    const JobFigures& f = job.figures;
    csv += Field(job.path);
    csv += ',';
    csv += std::to_string(job.status);
    csv += ',';
    csv += Field(StatusName(job));
    for (const std::string& value :
         {Optional(f.meanError), Optional(f.objective), Optional(f.evaluations)}) {
      csv += ',';
      csv += value;
    }
    csv += ',';
    if (job.finished) csv += Number(std::round(job.wallSeconds * 1000.0) / 1000.0);
    for (const std::string& name : names) {
      csv += ",";
      for (const auto& [n, value] : f.parameters) {
        if (n == name) {
          csv += Number(value);
          break;
        }
      }
    }
    csv += "\n";
  }
  return csv;
}

}  // namespace soilcal::batch
