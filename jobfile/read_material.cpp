// [units], [model] and [parameters] of a TOML job: material set 1.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "input/units.hpp"
#include "jobfile/nearest.hpp"
#include "jobfile/reader_parts.hpp"
#include "models/udsm/describe.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"
#include "services/notices.hpp"

namespace soilcal::jobfile::reader {
namespace {

namespace params = models::params;

const std::vector<std::string> kForceUnits{"N", "kN", "MN", "lbf", "kip"};
const std::vector<std::string> kLengthUnits{"m", "cm", "mm", "km", "in", "ft", "yd"};
const std::vector<std::string> kTimeUnits{"day", "s", "min", "h"};

std::string Unit(const State& s, const toml::table& units, std::string_view key,
                 const std::vector<std::string>& valid, const std::string& fallback) {
  const std::optional<std::string> given = s.file.String(units, key);
  if (!given) return fallback;
  if (std::find(valid.begin(), valid.end(), *given) == valid.end()) {
    std::string list;
    for (const std::string& v : valid) list += (list.empty() ? "" : ", ") + v;
    s.file.Fail(kJobFileUnreadable, *units.get(key),
                "unknown " + std::string(key) + " unit \"" + *given + "\"" +
                    DidYouMean(*given, valid) + " (one of " + list + ")");
  }
  return *given;
}

// Built-in model names, then the names the user-model libraries declare.
std::vector<std::string> ModelNames() {
  std::vector<std::string> names;
  for (const params::Model& m : params::Models()) names.emplace_back(m.name);
  for (const models::udsm::DescribedModel* m : models::udsm::DescribedModels()) {
    names.emplace_back(m->model.name);
  }
  return names;
}

// The model `name` among those the library `library` describes, or nullptr.
const models::udsm::DescribedModel* DescribedInLibrary(const std::string& library,
                                                       const std::string& name) {
  for (int iMod = 1; iMod <= 10; ++iMod) {
    const auto* m = models::udsm::DescribeLibraryModel(library, iMod);
    if (m != nullptr && m->model.name == name) return m;
  }
  return nullptr;
}

// "slot_117" -> 117; 0 when the name is not of that form.
int SlotNumber(std::string_view name) {
  if (!name.starts_with("slot_")) return 0;
  int n = 0;
  const std::string_view digits = name.substr(5);
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.empty()) return 0;
  return n;
}

std::string RangeText(const params::Range& r, const std::string& unit) {
  auto end = [](double v) {
    return std::isinf(v) ? std::string(v < 0 ? "-∞" : "∞") : services::FormatReal(v);
  };
  std::string text = (r.lowOpen ? "(" : "[") + end(r.low) + ", " + end(r.high) +
                     (r.highOpen ? ")" : "]");
  return unit.empty() ? text : text + " " + unit;
}

// Slots the job leaves out but the model's rules read: the value that keeps
// the model as the engineer expects it (no dilatancy cut-off, a friction
// angle consistent with M or K0nc, K0nc of Jaky for the cap fit).
void ApplyJobDefaults(const State& s, const std::array<const toml::key*, 256>& bySlot,
                      input::MaterialInput& material) {
  auto& p = material.params;
  for (int slot = 1; slot <= 200; ++slot) {
    if (bySlot[static_cast<std::size_t>(slot)] != nullptr) continue;
    switch (params::JobDefaultOf(s.model, slot)) {
      case params::JobDefault::kNone:
        break;
      case params::JobDefault::kOne:
        p[static_cast<std::size_t>(slot)] = 1.0;
        break;
      case params::JobDefault::kSineFromM:
        if (p[31] > 0.0) p[static_cast<std::size_t>(slot)] = 3.0 * p[31] / (6.0 + p[31]);
        break;
      case params::JobDefault::kK0ncFromSine:
        // A K0nc of 0 fails the cap fit of every test; 1 − sin φ of the
        // given φ is what a native job's K0nc below 0 becomes.
        if (p[3] > 0.0 && p[3] < 1.0) p[static_cast<std::size_t>(slot)] = 1.0 - p[3];
        break;
      case params::JobDefault::kSineFromK0nc:
        if (p[37] > 0.0 && p[37] < 1.0) {
          p[static_cast<std::size_t>(slot)] = 1.0 - p[37];
          services::Warn(s.file.name() + ": phi is not given; " + s.modelWords +
                             " takes sin φ = 1 − K0nc = " + services::FormatReal(1.0 - p[37]) +
                             " (Jaky); give phi in [parameters] for its own friction angle",
                         "phi_from_k0nc");
        }
        break;
    }
  }
}

}  // namespace

void ReadUnits(State& s, const toml::table& root, input::MaterialInput& material) {
  if (const toml::node* node = root.get("units")) {
    const toml::table* units = node->as_table();
    if (units == nullptr) {
      s.file.Fail(kJobFileUnreadable, *node, "[units] must be a table, not " + TypeWords(*node));
    }
    s.file.CheckKeys(*units, {"force", "length", "time"}, "[units]");
    s.force = Unit(s, *units, "force", kForceUnits, s.force);
    s.length = Unit(s, *units, "length", kLengthUnits, s.length);
    s.time = Unit(s, *units, "time", kTimeUnits, s.time);
  }
  material.referencePressure = 100000.0;
  input::ApplyForceUnit(s.force, material);
  input::ApplyLengthUnit(s.length, material);
  input::ApplyTimeUnit(s.time, material);
}

void ReadModel(State& s, const toml::table& root, input::MaterialInput& material) {
  const toml::node* node = root.get("model");
  const toml::table* model = node != nullptr ? node->as_table() : nullptr;
  if (model == nullptr) {
    s.file.Fail(kJobFileUnreadable, node != nullptr ? node->source() : root.source(),
                "the job needs a [model] table with the model's name (for example name = "
                "\"mohr_coulomb\") or number");
  }
  s.file.CheckKeys(*model, {"name", "number", "drainage", "variant", "material", "library"},
                   "[model]");
  const std::optional<std::string> name = s.file.String(*model, "name");
  const std::optional<long long> number = s.file.Integer(*model, "number");
  const std::optional<std::string> library = s.file.String(*model, "library");
  const std::optional<std::string> materialName = s.file.String(*model, "material");
  // A name no built-in model has may be one a user-model library declares.
  const models::udsm::DescribedModel* described = nullptr;
  if (name && params::FindModel(*name) == nullptr) {
    described = library ? DescribedInLibrary(*library, *name) : models::udsm::FindDescribedModel(*name);
    if (described == nullptr) {
      // A library whose description was refused may be the one meant.
      std::string refused;
      for (const std::string& r : models::udsm::RefusedDescriptions()) {
        refused += "; a description was refused (" + r + ")";
      }
      s.file.Fail(kJobFileUnreadable, *model->get("name"),
                  "unknown model name \"" + *name + "\"" + DidYouMean(*name, ModelNames()) +
                      (library ? " (the library \"" + *library + "\" declares no such model)"
                               : " (give number = N for a model without a name)") +
                      refused);
    }
  }
  if (name) {
    s.table = described != nullptr ? &described->model : params::FindModel(*name);
    if (number && *number != s.table->number) {
      s.file.Fail(kJobFileUnreadable, *model->get("number"),
                  "model \"" + *name + "\" is number " + std::to_string(s.table->number) +
                      ", not " + std::to_string(*number));
    }
    s.model = s.table->number;
  } else if (number) {
    if (*number < 1 || *number > 99) {
      s.file.Fail(kJobFileUnreadable, *model->get("number"),
                  "model number " + std::to_string(*number) + " is not a base model 1..99");
    }
    s.model = static_cast<int>(*number);
    s.table = params::FindModel(s.model);
  } else {
    s.file.Fail(kJobFileUnreadable, *model, "[model] needs name = \"...\" or number = N");
  }

  if (described != nullptr) {
    material.name = library.value_or(described->library);
  } else if (models::udsm::IsUserModel(s.model)) {
    if (!library || library->empty()) {
      s.file.Fail(kJobFileUnreadable, *model,
                  "a user-defined model (21..30) needs library = \"NAME.dll\", the library "
                  "that computes it");
    }
    material.name = *library;
    s.table = params::FindUserModel(*library, s.model);
  } else {
    if (library) {
      s.file.Fail(kJobFileUnreadable, *model->get("library"),
                  "\"library\" names the library of a user-defined model (21..30); give the "
                  "material's name as material = \"...\"");
    }
    material.name = materialName.value_or("");
  }
  if (material.name.find_first_of("\r\n") != std::string::npos) {
    s.file.Fail(kJobFileUnreadable, *model, "the material or library name must be one line");
  }
  s.modelWords = s.table != nullptr ? "the " + std::string(s.table->display) + " model"
                                    : "model " + std::to_string(s.model);
  material.baseModel = s.model;

  const std::optional<std::string> drainage = s.file.String(*model, "drainage");
  const std::optional<long long> variant = s.file.Integer(*model, "variant");
  if (drainage && variant) {
    s.file.Fail(kJobFileUnreadable, *model->get("variant"),
                "give either drainage or variant, not both");
  }
  if (drainage) {
    if (*drainage != "drained" && *drainage != "undrained") {
      s.file.Fail(kJobFileUnreadable, *model->get("drainage"),
                  "drainage must be \"drained\" or \"undrained\", not \"" + *drainage + "\"");
    }
    s.variant = *drainage == "undrained" ? 1 : 0;
    s.variantGiven = true;
  }
  if (variant) {
    if (*variant < 0 || *variant > 9) {
      s.file.Fail(kJobFileUnreadable, *model->get("variant"), "variant must lie in 0..9");
    }
    s.variant = static_cast<int>(*variant);
    s.variantGiven = true;
  }
}

ParameterRef FindParameterRef(const State& s, const toml::key& key, int maxSlot) {
  const std::string name(key.str());
  ParameterRef ref;
  ref.name = name;
  if (s.table != nullptr) {
    if (const params::Parameter* p = params::FindParameter(*s.table, name)) {
      ref.named = p;
      ref.slot = p->slot;
      return ref;
    }
  }
  if (const int slot = SlotNumber(name); slot != 0) {
    if (slot < 1 || slot > maxSlot) {
      s.file.Fail(kUnknownParameter, key.source(),
                  "\"" + name + "\": slots run from 1 to " + std::to_string(maxSlot) +
                      (maxSlot == 200 ? " in the lab-test files (201..255 can only be free)" : ""));
    }
    ref.slot = slot;
    return ref;
  }
  std::vector<std::string> valid;
  if (s.table != nullptr) {
    for (const params::Parameter& p : s.table->parameters) valid.emplace_back(p.name);
  }
  std::string list;
  for (const std::string& v : valid) list += (list.empty() ? "" : ", ") + v;
  s.file.Fail(kUnknownParameter, key.source(),
              "unknown parameter \"" + name + "\" of " + s.modelWords + DidYouMean(name, valid) +
                  (list.empty() ? " (give its slot as slot_N)"
                                : " (its names: " + list + "; any slot as slot_N)"));
}

// The set's slots a user-defined model's library never reads but the
// program checks before every evaluation: a positive shear modulus (slot 1)
// and porosity (slot 20). Unless the job gives them, slot 1 holds 1 and
// slot 20 the porosity of the start void ratio the library declares (its
// parameter e0, else n0).
void CompleteUserModelSet(const State& s, const std::array<const toml::key*, 256>& bySlot,
                          input::MaterialInput& material) {
  if (!models::udsm::IsUserModel(s.model) || s.table == nullptr) return;
  if (bySlot[1] == nullptr) material.params[1] = 1.0;
  if (bySlot[20] != nullptr) return;
  const params::Parameter* e0 = params::FindParameter(*s.table, "e0");
  const params::Parameter* n0 = params::FindParameter(*s.table, "n0");
  if (e0 != nullptr && e0->slot != 20 && material.params[static_cast<std::size_t>(e0->slot)] > 0.0) {
    const double e = material.params[static_cast<std::size_t>(e0->slot)];
    material.params[20] = e / (1.0 + e);
  } else if (n0 != nullptr && n0->slot != 20) {
    material.params[20] = material.params[static_cast<std::size_t>(n0->slot)];
  }
}

void ReadParameters(const State& s, const toml::table& root, input::MaterialInput& material) {
  const toml::node* node = root.get("parameters");
  if (node == nullptr) {
    CompleteUserModelSet(s, {}, material);
    return;
  }
  const toml::table* table = node->as_table();
  if (table == nullptr) {
    s.file.Fail(kJobFileUnreadable, *node, "[parameters] must be a table, not " + TypeWords(*node));
  }
  struct Given {
    ParameterRef ref;
    double value;
    const toml::key* key;
  };
  std::vector<Given> given;
  std::array<const toml::key*, 256> bySlot{};
  for (const auto& [key, value] : TomlFile::InFileOrder(*table)) {
    if (key->str() == "from_data") continue;  // FromData reads it
    ParameterRef ref = FindParameterRef(s, *key, 200);
    const double v = s.file.NumberOf(*value, "parameter \"" + ref.name + "\"");
    if (const toml::key* other = bySlot[static_cast<std::size_t>(ref.slot)]) {
      s.file.Fail(kUnknownParameter, key->source(),
                  "\"" + ref.name + "\" sets slot " + std::to_string(ref.slot) +
                      ", which \"" + std::string(other->str()) + "\" (" + s.file.Where(other->source()) +
                      ") sets already; give only one of them");
    }
    bySlot[static_cast<std::size_t>(ref.slot)] = key;
    if (ref.named != nullptr && !ref.named->range.Contains(v)) {
      const std::string unit = params::UnitText(ref.named->quantity, s.force, s.length, s.time);
      s.file.Fail(kBadParameterValue, value->source(),
                  ref.name + " = " + services::FormatReal(v) + " lies outside its physical range " +
                      RangeText(ref.named->range, unit) + " (" + std::string(ref.named->words) +
                      ")");
    }
    if (ref.slot == 7 || ref.slot == 19) {
      services::Warn(s.file.Where(key->source()) + ": slot " + std::to_string(ref.slot) +
                     " is set to 0 when a lab-test file is read; its value acts only when it is "
                     "a free parameter");
    }
    given.push_back({ref, v, key});
  }
  // Values given as they are first, then the converted ones, which may need
  // the stored value of a partner (E needs nu).
  for (const Given& g : given) {
    if (g.ref.named == nullptr || g.ref.named->stored == params::Stored::kAsGiven) {
      material.params[static_cast<std::size_t>(g.ref.slot)] = g.value;
    }
  }
  // The soft-soil family refuses a set without M before its completion
  // derives M (models 4 and 8) or uses it (model 5).
  if ((s.model == 4 || s.model == 5 || s.model == 8) && !(material.params[31] > 0.0) &&
      !FromData(s, root)) {
    s.file.Fail(kBadParameterValue, table->source(),
                s.modelWords + " needs M > 0 in [parameters]" +
                    (s.model == 5 ? std::string(" (the critical stress ratio)")
                                  : std::string(" (it is derived from K0nc before every test; "
                                                "any positive value, e.g. M = 1)")));
  }
  // A sand whose peak friction angle lies below its constant-volume one
  // contracts at every stress ratio: undrained it never dilates, so no load
  // above its undrained strength can be carried and every test fails on a
  // load step, which would hide the cause.
  if (s.model == 34 && bySlot[39] != nullptr && material.params[39] > 0.0 &&
      material.params[39] < material.params[38]) {
    s.file.Fail(kBadParameterValue, bySlot[39]->source(),
                std::string(bySlot[39]->str()) + " = " +
                    services::FormatReal(material.params[39]) + " lies below phi_cv = " +
                    services::FormatReal(material.params[38]) +
                    ": the peak friction angle of a sand is at least its constant-volume one; "
                    "give a larger value, or leave it out to take it from N160");
  }
  for (const Given& g : given) {
    const params::Parameter* p = g.ref.named;
    if (p == nullptr || p->stored == params::Stored::kAsGiven) continue;
    double partner = 0.0;
    if (p->stored == params::Stored::kShearFromYoung) {
      const params::Parameter* nu = params::FindParameter(*s.table, p->partner);
      if (nu == nullptr || bySlot[static_cast<std::size_t>(nu->slot)] == nullptr) {
        s.file.Fail(kUnknownParameter, g.key->source(),
                    g.ref.name + " is turned into the shear modulus with " +
                        std::string(p->partner) + ": give " + std::string(p->partner) +
                        " in [parameters] too");
      }
      partner = material.params[static_cast<std::size_t>(nu->slot)];
    }
    material.params[static_cast<std::size_t>(g.ref.slot)] = params::ToStored(*p, g.value, partner);
  }
  // After the conversions: K0nc of Jaky reads sin φ as stored.
  ApplyJobDefaults(s, bySlot, material);
  CompleteUserModelSet(s, bySlot, material);
}

}  // namespace soilcal::jobfile::reader
