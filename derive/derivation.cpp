// Derive: the tests analysed once, then the rules of the model asked for.
#include "derive/derivation.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "derive/builder.hpp"

namespace soilcal::derive {

namespace params = models::params;

Builder::Builder(std::string_view model, const DeriveOptions& options)
    : table_(params::FindModel(model)), options_(options) {
  out_.model = std::string(model);
}

void Builder::Add(std::string_view name, double value, bool fromData, bool free, double low,
                  double high, std::string note, Margin margin) {
  if (!std::isfinite(value) || !std::isfinite(low) || !std::isfinite(high)) {
    out_.skipped.push_back(std::string(name) + ": its rule gave no finite number");
    return;
  }
  DerivedValue v;
  v.name = std::string(name);
  const params::Parameter* p = table_ != nullptr ? params::FindParameter(*table_, name) : nullptr;
  // A shared rule (the strength of the sand and clay models) may name a
  // parameter this model does not have: it has nothing to write then.
  if (table_ != nullptr && p == nullptr) return;
  if (p != nullptr && !p->range.Contains(value)) {
    // A rule's number outside the physical range is clipped into it.
    const double nudge = 1e-3 * std::max(std::abs(value), 1e-6);
    const double clipped = std::clamp(value, p->range.lowOpen ? p->range.low + nudge : p->range.low,
                                      p->range.highOpen ? p->range.high - nudge : p->range.high);
    note += "; clipped from " + Number(value) + " into the physical range";
    value = clipped;
  }
  v.value = value;
  v.fromData = fromData;
  v.free = free && p != nullptr;
  v.note = std::move(note);
  if (v.free) {
    const Bounds bounds = BoundsAround(*p, value, low, high, margin);
    v.lower = bounds.lower;
    v.upper = bounds.upper;
  }
  out_.values.push_back(std::move(v));
}

void Builder::Free(std::string_view name, double value, double low, double high,
                   std::string note, Margin margin) {
  Add(name, value, true, true, low, high, std::move(note), margin);
}
void Builder::Derived(std::string_view name, double value, std::string note) {
  Add(name, value, true, false, value, value, std::move(note));
}
void Builder::Default(std::string_view name, double value, std::string note) {
  Add(name, value, false, false, value, value, std::move(note));
}

Derivation Builder::Done(std::vector<std::string> skipped) {
  skipped.insert(skipped.end(), out_.skipped.begin(), out_.skipped.end());
  out_.skipped = std::move(skipped);
  return std::move(out_);
}

const DerivedValue* Derivation::Find(std::string_view name) const {
  for (const DerivedValue& v : values) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

std::vector<std::string> DerivableModels() {
  return {"mohr_coulomb",       "hardening_soil",    "hardening_soil_small", "soft_soil",
          "soft_soil_creep",    "modified_cam_clay", "hoek_brown",           "ngi_adp",
          "ubc3d_sand"};
}

Derivation Derive(std::string_view model, std::span<const MeasuredTest> tests,
                  const DeriveOptions& options) {
  const Analysis a = Analyse(tests);
  Builder b(model, options);
  if (model == "mohr_coulomb") {
    DeriveMohrCoulomb(a, b);
  } else if (model == "hardening_soil" || model == "hardening_soil_small") {
    DeriveHardeningSoil(a, b, model == "hardening_soil_small");
  } else if (model == "soft_soil") {
    DeriveSoftSoil(a, b, 4);
  } else if (model == "modified_cam_clay") {
    DeriveSoftSoil(a, b, 5);
  } else if (model == "soft_soil_creep") {
    DeriveSoftSoil(a, b, 8);
  } else if (model == "hoek_brown") {
    DeriveHoekBrown(a, b);
  } else if (model == "ngi_adp") {
    DeriveNgiAdp(a, b);
  } else if (model == "ubc3d_sand") {
    DeriveUbc3d(a, b);
  } else {
    std::string list;
    for (const std::string& m : DerivableModels()) list += (list.empty() ? "" : ", ") + m;
    throw std::invalid_argument("no start-value rules for the model \"" + std::string(model) +
                                "\" (rules exist for " + list + ")");
  }
  return b.Done(a.skipped);
}

}  // namespace soilcal::derive
