// Reading a comparison of several models. Each [[models]] entry is turned
// into the one-model job it stands for, in a fresh parse of the file, by
// moving its nodes to where [model], [parameters] and calibrate.free sit in
// a one-model job: moved nodes keep their source lines, so every message of
// the one-model reader names the line of the comparison file.
#include "jobfile/model_list.hpp"

#include <algorithm>
#include <cctype>

#include "jobfile/native_writer.hpp"
#include "jobfile/reader_parts.hpp"
#include "models/parameter_table.hpp"
#include "models/udsm/link.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

const std::vector<std::string> kModelKeys{"name",     "number",  "drainage",   "variant",
                                          "material", "library", "label",      "parameters",
                                          "calibrate"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool FolderName(const std::string& label) {
  if (label.empty() || label.size() > 40) return false;
  return std::all_of(label.begin(), label.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
  });
}

// What belongs to each model may not stand at the top of a comparison.
void CheckTopLevel(const TomlFile& file, const toml::table& root) {
  if (const toml::node* model = root.get("model")) {
    file.Fail(kJobFileUnreadable, *model,
              "give either [model] (one model) or [[models]] (a comparison of several), not both");
  }
  if (const toml::node* parameters = root.get("parameters")) {
    file.Fail(kJobFileUnreadable, *parameters,
              "in a comparison every model has parameters of its own: give them in its "
              "[[models]] entry as [models.parameters]");
  }
  if (const toml::table* calibrate = root["calibrate"].as_table()) {
    if (const toml::node* free = calibrate->get("free")) {
      file.Fail(kJobFileUnreadable, *free,
                "in a comparison every model frees parameters of its own: give them in its "
                "[[models]] entry as [models.calibrate] free = { ... }");
    }
  }
  const toml::node& models = *root.get("models");
  const toml::array* list = models.as_array();
  if (list == nullptr || !list->is_array_of_tables()) {
    file.Fail(kJobFileUnreadable, models,
              "models must be a list of tables: begin each model with [[models]]");
  }
  if (list->size() < 2) {
    file.Fail(kJobFileUnreadable, models,
              "a comparison needs two models or more; a job of one model gives it as [model]");
  }
}

// The model's name in words for the comparison.
std::string ModelTitle(const input::MaterialInput& material) {
  if (const auto* table = models::params::FindModel(material.baseModel)) {
    return std::string(table->display);
  }
  if (models::udsm::IsUserModel(material.baseModel)) {
    const auto* described = models::params::FindUserModel(material.name, material.baseModel);
    return (described ? std::string(described->display) : "user-defined model") + " (" +
           material.name + ")";
  }
  return "model " + std::to_string(material.baseModel);
}

// Turns entry `i` of a fresh parse into a one-model job and reads it.
ModelJob ReadEntry(const std::string& text, const std::string& path, std::size_t i) {
  const TomlFile file(services::BareName(path));
  toml::table root = reader::ParseTomlText(text, path);
  toml::table entry = std::move(*(*root["models"].as_array())[i].as_table());
  root.erase("models");
  const std::string what = "model " + std::to_string(i + 1) + " ([[models]])";
  file.CheckKeys(entry, kModelKeys, what);
  if (!entry.contains("name") && !entry.contains("number")) {
    file.Fail(kJobFileUnreadable, entry,
              what + " needs the model's name = \"...\" (for example \"mohr_coulomb\") or "
                     "number = N");
  }

  ModelJob out;
  const std::optional<std::string> label = file.String(entry, "label");
  const std::optional<std::string> name = file.String(entry, "name");
  const std::optional<long long> number = file.Integer(entry, "number");
  out.label = label ? *label : name ? *name : "model_" + std::to_string(number.value_or(0));
  if (!FolderName(out.label)) {
    const toml::node& at = label ? *entry.get("label") : static_cast<const toml::node&>(entry);
    file.Fail(kJobFileUnreadable, at,
              "\"" + out.label + "\" cannot name the model's folder: give label = \"...\" of 1 "
              "to 40 letters, digits, _ or -");
  }
  entry.erase("label");

  if (toml::node* parameters = entry.get("parameters")) {
    root.insert_or_assign("parameters", std::move(*parameters));
    entry.erase("parameters");
  }
  const bool searchGiven = root["calibrate"]["search"].node() != nullptr;
  if (toml::node* calibrate = entry.get("calibrate")) {
    const toml::table* own = calibrate->as_table();
    if (own == nullptr) {
      file.Fail(kJobFileUnreadable, *calibrate,
                "the calibrate of " + what + " must be a table holding free = { ... }");
    }
    file.CheckKeys(*own, {"free"},
                   "the calibrate table of " + what +
                       " (intensity, tolerance and search are shared: give them in [calibrate])");
    if (!root.contains("calibrate")) root.insert("calibrate", toml::table{});
    if (toml::node* free = calibrate->as_table()->get("free")) {
      root["calibrate"].as_table()->insert_or_assign("free", std::move(*free));
    }
    entry.erase("calibrate");
  }
  root.insert_or_assign("model", std::move(entry));

  out.job = reader::ReadJobTable(root, path);
  // A comparison is only as fair as its searches.
  out.searchGiven = searchGiven;
  if (!searchGiven) out.job.thorough = true;
  out.title = label ? *label : ModelTitle(out.job.job.material);
  return out;
}

}  // namespace

bool HasModelList(const std::string& path) {
  if (!services::FileExists(path)) return false;
  try {
    return reader::ParseTomlText(reader::ReadJobFileText(path), path).contains("models");
  } catch (...) {
    return false;
  }
}

std::vector<ModelJob> ReadModelListText(const std::string& text, const std::string& path) {
  const TomlFile file(services::BareName(path));
  const toml::table root = reader::ParseTomlText(text, path);
  CheckTopLevel(file, root);
  const toml::array& list = *root["models"].as_array();
  std::vector<ModelJob> out;
  for (std::size_t i = 0; i < list.size(); ++i) {
    ModelJob model = ReadEntry(text, path, i);
    for (std::size_t j = 0; j < out.size(); ++j) {
      if (Lower(out[j].label) != Lower(model.label)) continue;
      file.Fail(kJobFileUnreadable, *list.get(i),
                "models " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
                    " would share the folder \"" + model.label +
                    "\": give each a label = \"...\" of its own");
    }
    out.push_back(std::move(model));
  }
  // Two models of one name in words (ngi_adp and ngi_adp_35) are told apart
  // by their folders.
  std::vector<std::string> titles;
  for (const ModelJob& m : out) titles.push_back(m.title);
  for (ModelJob& m : out) {
    if (std::count(titles.begin(), titles.end(), m.title) > 1 && m.title != m.label) {
      m.title += " (" + m.label + ")";
    }
  }
  return out;
}

std::vector<ModelJob> ReadModelList(const std::string& path) {
  return ReadModelListText(reader::ReadJobFileText(path), path);
}

void WriteNativeModels(const std::string& tomlPath, const std::string& folder) {
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  for (const ModelJob& model : ReadModelList(tomlPath)) WriteNativeJob(model.job, dir + model.label + "/");
}

}  // namespace soilcal::jobfile
