// POST /api/derive: start values and bounds read off measured tests, as
// `soilcal new` derives them, and the TOML job they make (nothing written).
#include <cmath>

#include "jobfile/new_job.hpp"
#include "models/parameter_table.hpp"
#include "run/messages.hpp"
#include "services/errors.hpp"
#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/folder_paths.hpp"
#include "web/job_fields.hpp"

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

namespace params = models::params;

// Each value with its symbol, words and unit from the parameter table (an
// angle in degrees), for a table a person reads.
nlohmann::json DerivationJson(const derive::Derivation& d, const jobfile::NewJob& job) {
  const params::Model* model = params::FindModel(d.model);
  nlohmann::json values = nlohmann::json::array();
  for (const derive::DerivedValue& v : d.values) {
    nlohmann::json one = {{"name", v.name}, {"value", v.value}, {"from_data", v.fromData},
                          {"free", v.free}, {"note", v.note}};
    const params::Parameter* p = model ? params::FindParameter(*model, v.name) : nullptr;
    if (p != nullptr) {
      one["symbol"] = std::string(p->symbol);
      one["words"] = std::string(p->words);
      one["unit"] = params::UnitText(p->quantity, job.forceUnit, job.lengthUnit, job.timeUnit);
      one["degrees"] = p->quantity == params::Quantity::kAngle;
    }
    if (v.free) {
      one["lower"] = v.lower;
      one["upper"] = v.upper;
    }
    values.push_back(one);
  }
  return {{"model", d.model}, {"values", values}, {"skipped", d.skipped}};
}

// "edits": [{"model", "name", "value", "lower", "upper", "free"}] into
// `edits`; the refusal's sentence, empty when they read.
std::string ReadEdits(const nlohmann::json& body, std::vector<jobfile::ValueEdit>& edits) {
  if (!body.contains("edits")) return "";
  if (!body["edits"].is_array()) return "\"edits\" is a list of {\"name\", \"value\", \"lower\", \"upper\", \"free\"}";
  for (const auto& e : body["edits"]) {
    if (!e.is_object() || !e.contains("name") || !e["name"].is_string()) {
      return "each edit names its parameter: {\"name\": \"phi\", \"value\": 33}";
    }
    jobfile::ValueEdit edit;
    edit.name = e["name"].get<std::string>();
    if (e.contains("model") && e["model"].is_string()) edit.model = e["model"];
    for (const auto& [field, slot] : {std::pair{"value", &edit.value}, std::pair{"lower", &edit.lower},
                                      std::pair{"upper", &edit.upper}}) {
      if (!e.contains(field) || e[field].is_null()) continue;
      if (!e[field].is_number() || !std::isfinite(e[field].get<double>())) {
        return "the " + std::string(field) + " of " + edit.name + " is no number";
      }
      *slot = e[field].get<double>();
    }
    if (e.contains("free")) {
      if (!e["free"].is_boolean()) return "\"free\" of " + edit.name + " is true or false";
      edit.free = e["free"].get<bool>();
    }
    edits.push_back(std::move(edit));
  }
  return "";
}

}  // namespace

// Body: {"models": ["modified_cam_clay"], "files": ["data/triax.csv", ...],
// "specimens": ["LOCATION:DEPTH:REF"], "job": "new.toml", "edits": [...],
// "choices": [{"file", "stage", "specimen", "group"}]}; files and the job are
// paths inside the folder.
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
    if (const std::string refusal = ReadEdits(body, request.edits); !refusal.empty()) {
      return SendError(res, 400, refusal);
    }
    if (body.contains("choices")) {
      if (!body["choices"].is_array()) {
        return SendError(res, 400, "\"choices\" is a list of {\"file\", \"stage\", \"specimen\", \"group\"}");
      }
      for (const auto& c : body["choices"]) {
        if (!c.is_object() || !c.contains("file") || !c["file"].is_string()) {
          return SendError(res, 400, "each choice names its \"file\"");
        }
        const auto path = ResolveInside(context.root, c["file"].get<std::string>());
        if (!path) return SendError(res, 400, "a choice's file is no path inside the workbench's folder");
        jobfile::LabChoice choice;
        choice.file = path->string();
        if (c.contains("stage") && !c["stage"].is_null()) {
          if (!c["stage"].is_number_integer() || c["stage"].get<long long>() < 1) {
            return SendError(res, 400, "a choice's \"stage\" is a stage number (1, 2, ...)");
          }
          choice.stage = c["stage"].get<int>();
        }
        if (c.contains("specimen") && c["specimen"].is_string()) choice.specimen = c["specimen"];
        if (c.contains("group") && c["group"].is_string()) choice.group = c["group"];
        request.choices.push_back(std::move(choice));
      }
    }
    request.readBack = false;
    const std::string job = body.value("job", std::string("new_job.toml"));
    const auto output = ResolveInside(context.root, job);
    if (!output) return SendError(res, 400, "\"" + job + "\" is no path inside the workbench's folder");
    request.output = output->string();
    try {
      const jobfile::NewJob made = jobfile::MakeNewJob(request);
      nlohmann::json derivations = nlohmann::json::array();
      for (const auto& d : made.derivations) derivations.push_back(DerivationJson(d, made));
      nlohmann::json answer = {{"toml", made.toml}, {"derivations", derivations}};
      // A job the edits make unreadable: its text with the reader's
      // sentence, line and field, so that the page shows it beside the row.
      const nlohmann::json refusal = JobTextRefusal(made.toml, request.output);
      if (!refusal.is_null()) {
        answer.update(refusal);
        return SendJson(res, 422, answer);
      }
      SendJson(res, 200, answer);
    } catch (const services::RunError& error) {
      SendJson(res, 422, {{"error", run::RunErrorLine(error)}, {"exit_code", error.code}});
    }
  });
}

}  // namespace soilcal::web
