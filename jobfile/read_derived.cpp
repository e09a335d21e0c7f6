// [parameters] from_data = true and [calibrate] free = ["E50ref", "phi"]:
// the start values the file does not give, and the bounds of free
// parameters named without bounds, read off the job's own tests by the
// rules of derive/.
#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

#include "derive/bounds.hpp"
#include "derive/derivation.hpp"
#include "jobfile/measured_tests.hpp"
#include "jobfile/reader_parts.hpp"
#include "services/diag.hpp"

namespace soilcal::jobfile::reader {
namespace {

namespace params = models::params;

// Slots that [parameters] gives a value to, under any name.
std::set<int> GivenSlots(const State& s, const toml::table& root) {
  std::set<int> slots;
  const toml::table* given = root["parameters"].as_table();
  if (given == nullptr) return slots;
  for (const auto& [key, value] : *given) {
    if (key.str() == "from_data") continue;
    slots.insert(FindParameterRef(s, key, 200).slot);
  }
  return slots;
}

// The parameter and slot of a derived value's name ("phi", "slot_22").
std::pair<const params::Parameter*, int> Resolve(const State& s, const std::string& name) {
  if (const params::Parameter* p = params::FindParameter(*s.table, name)) return {p, p->slot};
  if (name.starts_with("slot_")) return {nullptr, std::stoi(name.substr(5))};
  return {nullptr, 0};
}

void FreeByName(const State& s, const toml::table& root, const toml::array& names,
                const derive::Derivation& derivation, const std::vector<std::string>& derivedNames,
                NativeJob& out);

derive::Derivation DeriveFor(const State& s, const toml::node& at, const NativeJob& out) {
  const std::vector<std::string> models = derive::DerivableModels();
  if (s.table == nullptr ||
      std::find(models.begin(), models.end(), s.table->name) == models.end()) {
    std::string list;
    for (const std::string& m : models) list += (list.empty() ? "" : ", ") + m;
    s.file.Fail(kUnknownParameter, at,
                "start values from the tests are derived for the models " + list + ", not for " +
                    s.modelWords + ": give the start values and bounds in the file");
  }
  derive::DeriveOptions options;
  options.pref = out.job.material.referencePressure;
  options.stressUnit = params::StressUnitText(s.force, s.length);
  return derive::Derive(s.table->name, MeasuredTests(out), options);
}

}  // namespace

bool FromData(const State& s, const toml::table& root) {
  const toml::table* p = root["parameters"].as_table();
  return p != nullptr && s.file.Boolean(*p, "from_data").value_or(false);
}

void ReadDerivedStart(const State& s, const toml::table& root, NativeJob& out) {
  const bool fromData = FromData(s, root);
  const toml::node* freeNode = root["calibrate"]["free"].node();
  const toml::array* names = freeNode != nullptr ? freeNode->as_array() : nullptr;
  if (!fromData && names == nullptr) return;
  const toml::node& at = fromData ? *root["parameters"]["from_data"].node() : *freeNode;
  const derive::Derivation derivation = DeriveFor(s, at, out);
  input::MaterialInput& material = out.job.material;

  std::vector<std::string> derivedNames;
  if (fromData) {
    const std::set<int> given = GivenSlots(s, root);
    // Values as given first, then the converted ones that need a partner.
    for (int pass = 0; pass < 2; ++pass) {
      for (const derive::DerivedValue& v : derivation.values) {
        const auto [p, slot] = Resolve(s, v.name);
        if (slot < 1 || slot > 200 || given.contains(slot)) continue;
        const bool plain = p == nullptr || p->stored != params::Stored::kShearFromYoung;
        if (plain != (pass == 0)) continue;
        double partner = 0.0;
        if (p != nullptr && p->stored == params::Stored::kShearFromYoung) {
          const params::Parameter* nu = params::FindParameter(*s.table, p->partner);
          partner = material.params[static_cast<std::size_t>(nu->slot)];
        }
        material.params[static_cast<std::size_t>(slot)] =
            p != nullptr ? params::ToStored(*p, v.value, partner) : v.value;
        derivedNames.push_back(v.name);
      }
    }
  }
  if ((s.model == 4 || s.model == 5 || s.model == 8) && !(material.params[31] > 0.0)) {
    s.file.Fail(kBadParameterValue, at,
                s.modelWords + " needs M > 0 in [parameters] (or from_data = true)");
  }
  if (names != nullptr) FreeByName(s, root, *names, derivation, derivedNames, out);
  // The rule of each free start value that the tests gave (derived, or given
  // as the rule's number rounded, as soilcal new writes it).
  for (input::ParameterLanguage& language : out.language.parameters) {
    const derive::DerivedValue* d = derivation.Find(language.name);
    if (d == nullptr) continue;
    const double start =
        input::ToJobValue(language, material.params[static_cast<std::size_t>(language.slot)]);
    const bool derived = std::find(derivedNames.begin(), derivedNames.end(), language.name) !=
                         derivedNames.end();
    if (derived || std::abs(start - d->value) <= 1e-3 * std::max(std::abs(d->value), 1e-9)) {
      language.startRule = d->note;
    }
  }
}

namespace {

// free = ["E50ref", "phi"]: each name with the bounds of its derived value,
// widened to hold the job's start; a name the rules give no range is refused.
void FreeByName(const State& s, const toml::table& root, const toml::array& names,
                const derive::Derivation& derivation, const std::vector<std::string>& derivedNames,
                NativeJob& out) {
  const input::MaterialInput& material = out.job.material;
  std::vector<std::string> all;
  for (const toml::node& n : names) {
    const auto* name = n.as_string();
    if (name == nullptr) {
      s.file.Fail(kJobFileUnreadable, n,
                  "free = [...] lists parameter names in quotes (\"phi\"), not " + TypeWords(n));
    }
    all.emplace_back(name->get());
  }
  for (const toml::node& n : names) {
    const std::string name = n.as_string()->get();
    const toml::key key(name, n.source());
    const ParameterRef ref = FindParameterRef(s, key, 255);
    const params::Parameter* p = ref.named;
    if (p == nullptr) {
      s.file.Fail(kJobFileUnreadable, n,
                  name + " has no derived bounds: give them as " + name + " = [lower, upper] in "
                  "[calibrate.free]");
    }
    double partner = 0.0;
    if (p->stored == params::Stored::kShearFromYoung) {
      if (const params::Parameter* nu = params::FindParameter(*s.table, p->partner)) {
        partner = material.params[static_cast<std::size_t>(nu->slot)];
      }
    }
    const double start =
        params::FromStored(*p, material.params[static_cast<std::size_t>(ref.slot)], partner);
    derive::Bounds b{start, start};
    const derive::DerivedValue* d = derivation.Find(name);
    if (d != nullptr && d->free) {
      b = {std::min(d->lower, start), std::max(d->upper, start)};
    } else {
      b = derive::BoundsAround(*p, start, start, start);
    }
    if (!(b.upper > b.lower)) {
      s.file.Fail(kJobFileUnreadable, n,
                  name + " = " + services::FormatReal(start) +
                      " gives no range to search around: give its bounds as " + name +
                      " = [lower, upper] in [calibrate.free]");
    }
    AddFreeParameter(s, root, key, n, b.lower, b.upper, all, derivedNames, out);
  }
}

}  // namespace

}  // namespace soilcal::jobfile::reader
