// POST /api/derive: start values and bounds read off measured tests, as
// `soilcal new` derives them, and the TOML job they make (nothing written).
#include "jobfile/new_job.hpp"
#include "run/messages.hpp"
#include "services/errors.hpp"
#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/folder_paths.hpp"

namespace soilcal::web {

namespace {

// A list of strings in the body, or none when the field is not one.
std::optional<std::vector<std::string>> Strings(const nlohmann::json& body, const char* field) {
  std::vector<std::string> out;
  if (!body.contains(field)) return out;
  if (!body[field].is_array()) return std::nullopt;
  for (const auto& item : body[field]) {
    if (!item.is_string()) return std::nullopt;
    out.push_back(item.get<std::string>());
  }
  return out;
}

nlohmann::json DerivationJson(const derive::Derivation& d) {
  nlohmann::json values = nlohmann::json::array();
  for (const derive::DerivedValue& v : d.values) {
    nlohmann::json one = {{"name", v.name}, {"value", v.value}, {"from_data", v.fromData},
                          {"free", v.free}, {"note", v.note}};
    if (v.free) {
      one["lower"] = v.lower;
      one["upper"] = v.upper;
    }
    values.push_back(one);
  }
  return {{"model", d.model}, {"values", values}, {"skipped", d.skipped}};
}

}  // namespace

// Body: {"models": ["modified_cam_clay"], "files": ["data/triax.csv", ...],
// "specimens": ["LOCATION:DEPTH:REF"], "job": "new.toml"}; files and the job
// are paths inside the folder.
void AddDeriveRoute(httplib::Server& server, const ApiContext& context) {
  server.Post("/api/derive", [context](const httplib::Request& req, httplib::Response& res) {
    const nlohmann::json body = nlohmann::json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
      return SendError(res, 400, "the body is no JSON object: send {\"models\": [...], \"files\": [...]}");
    }
    const auto models = Strings(body, "models");
    const auto files = Strings(body, "files");
    const auto specimens = Strings(body, "specimens");
    if (!models || !files || !specimens || models->empty() || files->empty()) {
      return SendError(res, 400, "\"models\" and \"files\" are lists of names, neither empty");
    }
    jobfile::NewJobRequest request;
    request.models = *models;
    request.specimens = *specimens;
    for (const std::string& file : *files) {
      const auto path = ResolveInside(context.root, file);
      if (!path) return SendError(res, 400, "\"" + file + "\" is no path inside the workbench's folder");
      request.files.push_back(path->string());
    }
    const std::string job = body.value("job", std::string("new_job.toml"));
    const auto output = ResolveInside(context.root, job);
    if (!output) return SendError(res, 400, "\"" + job + "\" is no path inside the workbench's folder");
    request.output = output->string();
    try {
      const jobfile::NewJob made = jobfile::MakeNewJob(request);
      nlohmann::json derivations = nlohmann::json::array();
      for (const auto& d : made.derivations) derivations.push_back(DerivationJson(d));
      SendJson(res, 200, {{"toml", made.toml}, {"derivations", derivations}});
    } catch (const services::RunError& error) {
      SendJson(res, 422, {{"error", run::RunErrorLine(error)}, {"exit_code", error.code}});
    }
  });
}

}  // namespace soilcal::web
