#include "web/api_support.hpp"

#include "web/folder_paths.hpp"
#include "web/job_index.hpp"

namespace soilcal::web {

void SendJson(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                  "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& sentence) {
  SendJson(res, status, {{"error", sentence}});
}

std::optional<std::filesystem::path> JobPath(const std::filesystem::path& root,
                                             const std::string& relative, httplib::Response& res,
                                             bool mustExist) {
  const auto path = ResolveInside(root, relative);
  if (!path) {
    SendError(res, 400, "\"" + relative + "\" is no path inside the workbench's folder");
    return std::nullopt;
  }
  if (!IsJobName(*path)) {
    SendError(res, 400, "\"" + relative + "\" is no job: a job is a .toml file or an OPTIM.TXT");
    return std::nullopt;
  }
  std::error_code error;
  if (mustExist && !std::filesystem::is_regular_file(*path, error)) {
    SendError(res, 404, "there is no job " + relative + " in the workbench's folder");
    return std::nullopt;
  }
  return path;
}

}  // namespace soilcal::web
