#include "web/inspect_json.hpp"

#include <charconv>
#include <sstream>

#include <toml++/toml.h>

namespace soilcal::web {

labfiles::Selection SelectionOf(const std::string& stage, const std::string& specimen,
                                const std::string& group) {
  labfiles::Selection selection;
  if (!stage.empty()) {
    int n = 0;
    const auto [end, error] = std::from_chars(stage.data(), stage.data() + stage.size(), n);
    if (error != std::errc() || end != stage.data() + stage.size() || n < 1) {
      throw labfiles::LabFileError("stage \"" + stage + "\" is no stage number (1, 2, ...)");
    }
    selection.stage = n;
  }
  if (!specimen.empty()) {
    selection.specimen = labfiles::ParseSpecimenKey(specimen);
    if (!selection.specimen) {
      throw labfiles::LabFileError("specimen \"" + specimen + "\" is not LOCATION:DEPTH:REF");
    }
  }
  if (!group.empty()) selection.group = group;
  return selection;
}

nlohmann::json InspectJson(const labfiles::LabFile& file) {
  nlohmann::json out = {{"name", file.name},
                        {"format", file.format},
                        {"entries", file.entries},
                        {"choices", file.choices},
                        {"selections", SelectionsOf(file.entries)}};
  nlohmann::json header = nlohmann::json::array();
  for (const auto& [key, value] : file.header) header.push_back({key, value});
  out["header"] = header;
  out["test"] = nullptr;
  if (file.test) {
    const labfiles::LabTest& t = *file.test;
    nlohmann::json columns = nlohmann::json::object();
    for (const labfiles::Column& c : t.columns) columns[c.quantity] = c.values;
    out["test"] = {{"kind", t.kind},
                   {"undrained", t.undrained},
                   {"x", t.x},
                   {"columns", columns},
                   {"phase", t.phase},
                   {"cell_pressure", t.cellPressure},
                   {"amplitude", t.amplitude},
                   {"cycles", t.cycles},
                   {"default_curves", t.defaultCurves}};
  }
  nlohmann::json failures = nlohmann::json::array();
  for (const labfiles::FailurePoint& f : file.failures) {
    failures.push_back({{"specimen", f.specimen},
                        {"sigma3", f.sigma3},
                        {"sigma1", f.sigma1},
                        {"effective", f.effective}});
  }
  out["failures"] = failures;
  out["strength"] = nullptr;
  if (file.strength) {
    out["strength"] = {{"cohesion", file.strength->cohesion},
                       {"phi", file.strength->phiDegrees},
                       {"points", file.strength->points}};
  }
  return out;
}

nlohmann::json SelectionsOf(const std::vector<std::string>& entries) {
  nlohmann::json out = nlohmann::json::array();
  for (const std::string& entry : entries) {
    const auto eol = entry.find('\n');
    std::string label = entry.substr(0, eol);
    if (label.rfind("- ", 0) == 0) label.erase(0, 2);
    nlohmann::json one = {{"label", label}, {"stage", nullptr}, {"specimen", ""}, {"group", ""},
                          {"default", label.find("by default") != std::string::npos}};
    if (eol != std::string::npos) {
      toml::table t;
      try {
        t = toml::parse(std::string_view(entry).substr(eol + 1));
      } catch (const toml::parse_error&) {
        continue;  // a column mapping, not a test to pick
      }
      if (auto stage = t["stage"].value<int64_t>()) one["stage"] = *stage;
      if (auto group = t["group"].value<std::string>()) one["group"] = *group;
      if (const toml::table* sp = t["specimen"].as_table()) {
        std::ostringstream key;
        key << (*sp)["location"].value_or(std::string()) << ":";
        if (auto depth = (*sp)["depth"].value<double>()) key << *depth;
        key << ":" << (*sp)["ref"].value_or(std::string());
        one["specimen"] = key.str();
      }
      if (one["stage"].is_null() && one["specimen"] == "" && one["group"] == "") continue;
    } else {
      continue;
    }
    out.push_back(std::move(one));
  }
  return out;
}

}  // namespace soilcal::web
