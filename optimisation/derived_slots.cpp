// The derivation marks of the parameter table turned into sentences for the
// free parameters of a job.
#include "optimisation/derived_slots.hpp"

#include <cstdio>

#include "input/job_language.hpp"
#include "models/parameter_table.hpp"

namespace soilcal::optimisation {
namespace {

namespace params = models::params;

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

struct Free {
  int slot = 0;
  double lower = 0.0, upper = 0.0;
};

std::vector<Free> FreeSlots(const input::Job& job) {
  const input::OptimisationSettings& o = job.settings;
  std::vector<Free> out;
  for (std::size_t j = 0; j < o.index.size(); ++j) {
    out.push_back({o.index[j], j < o.lower.size() ? o.lower[j] : 0.0,
                   j < o.upper.size() ? o.upper[j] : 0.0});
  }
  return out;
}

const Free* FindFree(const std::vector<Free>& free, int slot) {
  for (const Free& f : free) {
    if (f.slot == slot) return &f;
  }
  return nullptr;
}

// An overwrite that waits for another slot to be non-zero: active when that
// slot is free with 0 outside its bounds, or fixed at a non-zero value.
bool OverwriteActive(const params::Parameter& p, const std::vector<Free>& free,
                     const models::PropSoil& set1) {
  if (p.whenSlotNonZero <= 0) return true;
  if (const Free* other = FindFree(free, p.whenSlotNonZero)) {
    return other->lower > 0.0 || other->upper < 0.0;
  }
  return set1[p.whenSlotNonZero] != 0.0;
}

// A slot that only feeds a derivation still matters while a slot derived
// "when not positive" can be brought to 0 or below by the search.
bool DerivationCanRunAgain(const params::Model& model, const std::vector<Free>& free) {
  for (const params::Parameter& q : model.parameters) {
    if (q.derivation != params::Derivation::kWhenNotPositive) continue;
    const Free* f = FindFree(free, q.slot);
    if (f != nullptr && f->lower <= 0.0) return true;
  }
  return false;
}

// How the note names the free parameter and its values: a TOML job's name
// and units, else the table's name with its slot.
struct Named {
  std::string who;
  const input::ParameterLanguage* language = nullptr;
  std::string Value(double stored) const {
    if (language == nullptr) return Number(stored);
    const std::string text = Number(input::ToJobValue(*language, stored) + 0.0);
    if (language->unit.empty()) return text;
    return language->unit == "°" ? text + language->unit : text + " " + language->unit;
  }
};

std::string Note(const params::Model& model, const params::Parameter& p, const Free& f,
                 const std::vector<Free>& free, const models::PropSoil& set1, const Named& named) {
  const std::string& who = named.who;
  const std::string family(model.display);
  switch (p.derivation) {
    case params::Derivation::kNone:
      return "";
    case params::Derivation::kOverwritten:
      if (!OverwriteActive(p, free, set1)) return "";
      return who + " has no effect: the completion of the " + family + " model overwrites it " +
             std::string(p.derivedFrom);
    case params::Derivation::kIgnoredOnceDerived:
      if (DerivationCanRunAgain(model, free)) return "";
      return who + " has no effect once material set 1 is completed: the " + family +
             " model uses it " + std::string(p.derivedFrom);
    case params::Derivation::kWhenNotPositive:
      if (f.lower > 0.0) return "";
      return who + " is derived " + std::string(p.derivedFrom) + ", and its lower bound " +
             named.Value(f.lower) + " lets the search reach that; raise the lower bound above 0";
  }
  return "";
}

}  // namespace

std::vector<std::string> DerivedSlotNotes(const input::Job& job, const models::PropSoil& set1) {
  const std::vector<Free> free = FreeSlots(job);
  std::vector<std::string> notes(free.size());
  const params::Model* model = params::FindModel(job.modelNumber % 100);
  if (model == nullptr) return notes;
  for (std::size_t j = 0; j < free.size(); ++j) {
    // Every entry of the slot counts: E and G share slot 1, and the one read
    // as given is not always the one that carries the mark.
    const input::ParameterLanguage* language =
        job.language && j < job.language->parameters.size() ? &job.language->parameters[j] : nullptr;
    for (const params::Parameter& p : model->parameters) {
      if (p.slot != free[j].slot) continue;
      const Named named{language != nullptr ? language->name
                                            : std::string(p.name) + " (slot " +
                                                  std::to_string(free[j].slot) + ")",
                        language};
      notes[j] = Note(*model, p, free[j], free, set1, named);
      if (!notes[j].empty()) break;
    }
  }
  return notes;
}

}  // namespace soilcal::optimisation
