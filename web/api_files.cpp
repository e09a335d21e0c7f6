// POST /api/files (lab files into FOLDER/data/), GET /api/files/{file}
// (any file inside FOLDER, for downloads), GET /api/files/{file}/inspect
// and POST /api/derive.
#include <fstream>
#include <sstream>

#include "services/output_file.hpp"
#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/folder_paths.hpp"
#include "web/inspect_json.hpp"

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

std::string ContentType(const fs::path& path) {
  const std::string ext = path.extension().string();
  if (ext == ".json") return "application/json";
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".csv") return "text/csv";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".png") return "image/png";
  return "text/plain; charset=utf-8";
}

}  // namespace

void AddFileRoutes(httplib::Server& server, const ApiContext& context) {
  server.Post("/api/files", [context](const httplib::Request& req, httplib::Response& res) {
    if (!req.is_multipart_form_data() || req.files.empty()) {
      return SendError(res, 400, "send the lab files as multipart/form-data (field \"file\")");
    }
    const fs::path data = context.root / "data";
    std::error_code error;
    fs::create_directories(data, error);
    const auto folder = ResolveInside(context.root, "data");
    if (!folder || !fs::is_directory(*folder, error)) {
      return SendError(res, 500, "the folder data/ cannot be made inside the workbench's folder");
    }
    // Every file is checked before any is stored.
    for (const auto& [field, file] : req.files) {
      if (file.content.size() > context.options->maxUploadBytes) {
        return SendError(res, 413, "\"" + file.filename + "\" is larger than the " +
                                       std::to_string(context.options->maxUploadBytes >> 20) +
                                       " MB an upload may have (soilcal serve --max-upload MB)");
      }
      const std::string refusal = UploadRefusal(file.filename, file.content);
      if (!refusal.empty()) return SendError(res, 415, refusal);
    }
    nlohmann::json stored = nlohmann::json::array();
    for (const auto& [field, file] : req.files) {
      const auto target = ResolveInside(context.root, "data/" + file.filename);
      if (!target || target->parent_path() != *folder) {
        return SendError(res, 400, "\"" + file.filename + "\" cannot be stored inside data/");
      }
      const services::WriteStatus written = services::WriteFileAtomically(target->string(), file.content);
      if (!written) return SendError(res, 500, "\"" + file.filename + "\" could not be written: " + written.cause);
      stored.push_back({{"file", RelativeName(context.root, *target)}, {"bytes", file.content.size()}});
    }
    SendJson(res, 201, {{"files", stored}});
  });

  server.Get(R"(/api/files/(.+)/inspect)", [context](const httplib::Request& req,
                                                     httplib::Response& res) {
    const auto file = ResolveInside(context.root, req.matches[1].str());
    if (!file) return SendError(res, 400, "\"" + req.matches[1].str() + "\" is no path inside the workbench's folder");
    std::error_code error;
    if (!fs::is_regular_file(*file, error)) {
      return SendError(res, 404, "there is no file " + req.matches[1].str());
    }
    try {
      const labfiles::Selection selection =
          SelectionOf(req.get_param_value("stage"), req.get_param_value("specimen"),
                      req.get_param_value("group"));
      const labfiles::LabFile read =
          labfiles::ReadLabFile(file->string(), req.matches[1].str(), selection, false);
      SendJson(res, 200, InspectJson(read));
    } catch (const std::exception& refused) {
      SendError(res, 422, refused.what());
    }
  });

  server.Get(R"(/api/files/(.+))", [context](const httplib::Request& req, httplib::Response& res) {
    const auto file = ResolveInside(context.root, req.matches[1].str());
    if (!file) return SendError(res, 400, "\"" + req.matches[1].str() + "\" is no path inside the workbench's folder");
    std::error_code error;
    if (!fs::is_regular_file(*file, error)) return SendError(res, 404, "there is no file " + req.matches[1].str());
    std::ifstream in(*file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string name = file->filename().string();
    for (char& c : name) {
      if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
    res.set_content(text.str(), ContentType(*file));
  });
}

}  // namespace soilcal::web
