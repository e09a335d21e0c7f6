// What the workbench shows of a laboratory's file: the record `soilcal
// inspect` prints, as JSON (the selected test's readings as arrays).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "labfiles/lab_file.hpp"

namespace soilcal::web {

// The selection of a request's query: stage=N, specimen=LOCATION:DEPTH:REF,
// group=NAME. An unreadable value is a labfiles::LabFileError.
labfiles::Selection SelectionOf(const std::string& stage, const std::string& specimen,
                                const std::string& group);

nlohmann::json InspectJson(const labfiles::LabFile& file);

// The tests a file holds that a person can pick, from the entries the reader
// lists: [{"label", "stage", "specimen": "LOCATION:DEPTH:REF", "group",
// "default"}], each with what selects it (GET .../inspect?stage=... and a
// choice of POST /api/derive take those).
nlohmann::json SelectionsOf(const std::vector<std::string>& entries);

}  // namespace soilcal::web
