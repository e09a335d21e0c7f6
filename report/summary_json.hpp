// calibration_summary.json: the summary written and read with a JSON
// library (nlohmann-json).
#pragma once

#include <optional>
#include <string>

#include "report/summary.hpp"

namespace soilcal::report {

inline constexpr const char* kSummaryFileName = "calibration_summary.json";

// The summary as JSON text.
std::string SummaryToJson(const Summary& summary);
// Replaces the file at `path` by the summary, whole; false when it cannot.
bool WriteSummaryJson(const Summary& summary, const std::string& path);
// Reads a summary; nullopt with `error` set when the file is missing or not
// a summary.
std::optional<Summary> ReadSummaryJson(const std::string& path, std::string& error);

}  // namespace soilcal::report
