// The uncertainty part of calibration_summary.json: an "uncertainty" object
// in each entry of "parameters" and, at the top, "correlation",
// "condition_number", "residual_count" and "uncertainty_method".
#pragma once

#include <nlohmann/json.hpp>

#include "report/summary.hpp"

namespace soilcal::report {

// Adds the uncertainty of `summary` to `j`, the summary's JSON with its
// "parameters" array already written. Everything is null when the step did
// not run.
void AddUncertaintyJson(const Summary& summary, nlohmann::ordered_json& j);

// Reads it back into `summary` (its parameters already read); a file
// without it leaves the uncertainty empty.
void ReadUncertaintyJson(const nlohmann::ordered_json& j, Summary& summary);

}  // namespace soilcal::report
