// What the API's handlers share: answers in JSON and the job a path names.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace soilcal::web {

void SendJson(httplib::Response& res, int status, const nlohmann::json& body);
// {"error": sentence} with `status`.
void SendError(httplib::Response& res, int status, const std::string& sentence);

// The job `relative` names inside `root`, or none after an answer was sent:
// 400 for a path out of the folder, 404 for no such job.
std::optional<std::filesystem::path> JobPath(const std::filesystem::path& root,
                                             const std::string& relative, httplib::Response& res,
                                             bool mustExist = true);

}  // namespace soilcal::web
