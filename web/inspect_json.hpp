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

}  // namespace soilcal::web
