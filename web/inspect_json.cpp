#include "web/inspect_json.hpp"

#include <charconv>

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
                        {"choices", file.choices}};
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

}  // namespace soilcal::web
