// [calibrate] of a TOML job: the free parameters with their bounds, in the
// order the file gives them, and the search settings.
#include <algorithm>
#include <cmath>

#include "jobfile/reader_parts.hpp"
#include "services/diag.hpp"

namespace soilcal::jobfile::reader {
namespace {

namespace params = models::params;

std::string ConversionName(params::Stored stored) {
  switch (stored) {
    case params::Stored::kAsGiven: return "as_given";
    case params::Stored::kSine: return "sine";
    case params::Stored::kShearFromYoung: return "shear_from_young";
    case params::Stored::kPorosityFromVoidRatio: return "porosity_from_void_ratio";
  }
  return "as_given";
}

// A free parameter whose slot the model's completion overwrites (or only
// reads once) would be searched without any effect on the curves.
void RefuseDerived(const State& s, const ParameterRef& ref, const toml::key& key) {
  const params::Parameter* p = ref.named;
  if (p == nullptr) return;
  if (p->derivation == params::Derivation::kOverwritten) {
    s.file.Fail(kUnknownParameter, key.source(),
                ref.name + " cannot be calibrated: " + s.modelWords + " derives it " +
                    std::string(p->derivedFrom) +
                    ", so a free value would not change the curves; free what it is derived from");
  }
  if (p->derivation == params::Derivation::kIgnoredOnceDerived) {
    s.file.Fail(kUnknownParameter, key.source(),
                ref.name + " cannot be calibrated: it serves " + std::string(p->derivedFrom) +
                    ", so a free value would not change the curves");
  }
}

void CheckBounds(const State& s, const ParameterRef& ref, const toml::node& value, double lower,
                 double upper) {
  if (upper < lower) {
    s.file.Fail(kBadBounds, value.source(),
                "the bounds of " + ref.name + " are reversed: upper " +
                    services::FormatReal(upper) + " lies below lower " +
                    services::FormatReal(lower) + " (give [lower, upper])");
  }
  const params::Parameter* p = ref.named;
  if (p == nullptr) return;
  for (double bound : {lower, upper}) {
    if (p->range.Contains(bound)) continue;
    const std::string unit = params::UnitText(p->quantity, s.force, s.length, s.time);
    auto end = [](double v) {
      return std::isinf(v) ? std::string(v < 0 ? "-inf" : "inf") : services::FormatReal(v);
    };
    s.file.Fail(kBadBounds, value.source(),
                "the bound " + services::FormatReal(bound) + " of " + ref.name +
                    " lies outside its physical range " + (p->range.lowOpen ? "(" : "[") +
                    end(p->range.low) + ", " + end(p->range.high) +
                    (p->range.highOpen ? ")" : "]") + (unit.empty() ? "" : " " + unit) + " (" +
                    std::string(p->words) + ")");
  }
}

// True when [parameters] gives a value to `name` or to its slot.
bool Given(const toml::table& root, const std::string& name, int slot) {
  const toml::table* given = root["parameters"].as_table();
  return given != nullptr &&
         (given->contains(name) || given->contains("slot_" + std::to_string(slot)));
}

}  // namespace

void AddFreeParameter(const State& s, const toml::table& root, const toml::key& key,
                      const toml::node& value, double lower, double upper,
                      const std::vector<std::string>& otherFree,
                      const std::vector<std::string>& derivedNames, NativeJob& out) {
  input::OptimisationSettings& settings = out.job.settings;
  const ParameterRef ref = FindParameterRef(s, key, 255);
  RefuseDerived(s, ref, key);
  CheckBounds(s, ref, value, lower, upper);
  for (int slot : settings.index) {
    if (slot == ref.slot) {
      s.file.Fail(kUnknownParameter, key.source(),
                  ref.name + " frees slot " + std::to_string(slot) +
                      ", which is free already under another name");
    }
  }

  input::ParameterLanguage language;
  language.slot = ref.slot;
  language.name = ref.name;
  double storedLower = lower;
  double storedUpper = upper;
  if (const params::Parameter* p = ref.named) {
    language.unit = params::UnitText(p->quantity, s.force, s.length, s.time);
    language.conversion = ConversionName(p->stored);
    if (p->stored == params::Stored::kShearFromYoung) {
      const params::Parameter* nu = params::FindParameter(*s.table, p->partner);
      for (const std::string& other : otherFree) {
        if (other == p->partner) {
          s.file.Fail(kUnknownParameter, key.source(),
                      ref.name + " can be free only while " + std::string(p->partner) +
                          " is fixed: it is turned into the shear modulus with it");
        }
      }
      language.partner = out.job.material.params[static_cast<std::size_t>(nu->slot)];
      const bool derived = std::find(derivedNames.begin(), derivedNames.end(), p->partner) !=
                           derivedNames.end();
      if (!derived && !Given(root, std::string(p->partner), nu->slot)) {
        s.file.Fail(kUnknownParameter, key.source(),
                    ref.name + " is turned into the shear modulus with " +
                        std::string(p->partner) + ": give " + std::string(p->partner) +
                        " in [parameters]");
      }
    }
    storedLower = params::ToStored(*p, lower, language.partner);
    storedUpper = params::ToStored(*p, upper, language.partner);
  } else {
    language.conversion = "as_given";
  }
  settings.index.push_back(ref.slot);
  settings.lower.push_back(storedLower);
  settings.upper.push_back(storedUpper);
  settings.nParams = static_cast<int>(settings.index.size());
  out.language.parameters.push_back(language);
}

void ReadCalibration(const State& s, const toml::table& root, NativeJob& out) {
  input::OptimisationSettings& settings = out.job.settings;
  settings.intensity = 1;
  settings.tolerance = 0.001;
  const toml::node* node = root.get("calibrate");
  if (node == nullptr) return;
  const toml::table* calibrate = node->as_table();
  if (calibrate == nullptr) {
    s.file.Fail(kJobFileUnreadable, *node, "[calibrate] must be a table, not " + TypeWords(*node));
  }
  s.file.CheckKeys(*calibrate, {"free", "intensity", "tolerance", "search"}, "[calibrate]");
  if (const auto intensity = s.file.Integer(*calibrate, "intensity")) {
    if (*intensity < 1 || *intensity > 3) {
      s.file.Fail(kBadIntensity, *calibrate->get("intensity"),
                  "intensity must be 1 (10 particles), 2 (30) or 3 (90), not " +
                      std::to_string(*intensity));
    }
    settings.intensity = static_cast<int>(*intensity);
  }
  if (const auto tolerance = s.file.Number(*calibrate, "tolerance")) {
    if (!(*tolerance > 0.0)) {
      s.file.Fail(kJobFileUnreadable, *calibrate->get("tolerance"),
                  "tolerance must be a positive number (a relative change, e.g. 0.001)");
    }
    settings.tolerance = *tolerance;
  }
  if (const auto search = s.file.String(*calibrate, "search")) {
    if (*search != "default" && *search != "thorough") {
      s.file.Fail(kJobFileUnreadable, *calibrate->get("search"),
                  "search must be \"default\" or \"thorough\", not \"" + *search + "\"");
    }
    out.thorough = *search == "thorough";
  }
  const toml::node* freeNode = calibrate->get("free");
  if (freeNode == nullptr) return;
  const toml::node* free = freeNode;
  if (!free->is_table() && !free->is_array()) {
    s.file.Fail(kJobFileUnreadable, *freeNode,
                "free must be a table of name = [lower, upper], or a list of names whose bounds "
                "are derived from the tests, not " + TypeWords(*freeNode));
  }
  // Names without bounds take the bounds of the start values derived from
  // the tests (read once the tests are, ReadDerivedStart).
  if (free->is_array()) return;
  const auto entries = TomlFile::InFileOrder(*free->as_table());
  std::vector<std::string> names;
  for (const auto& [key, value] : entries) names.emplace_back(key->str());
  for (const auto& [key, value] : entries) {
    const ParameterRef ref = FindParameterRef(s, *key, 255);
    const toml::array* bounds = value->as_array();
    if (bounds == nullptr || bounds->size() != 2) {
      RefuseDerived(s, ref, *key);
      s.file.Fail(kJobFileUnreadable, *value,
                  "free parameter " + ref.name + " needs its bounds as [lower, upper]");
    }
    const double lower = s.file.NumberOf(*bounds->get(0), "the lower bound of " + ref.name);
    const double upper = s.file.NumberOf(*bounds->get(1), "the upper bound of " + ref.name);
    AddFreeParameter(s, root, *key, *value, lower, upper, names, {}, out);
  }
  settings.nParams = static_cast<int>(settings.index.size());
}

}  // namespace soilcal::jobfile::reader
