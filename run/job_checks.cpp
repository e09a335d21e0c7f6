#include "run/job_checks.hpp"

#include <algorithm>
#include <cmath>

#include "models/parameter_table.hpp"
#include "run/result_file.hpp"
#include "services/diag.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

// The slots the model's table marks as sines; without a table (user-defined
// models) the friction and dilatancy slots 3 and 5.
bool IsSineSlot(int slot, int baseModel) {
  if (models::params::FindModel(baseModel) == nullptr) return slot == 3 || slot == 5;
  const auto shown = models::params::DisplayOfSlot(baseModel, slot);
  return shown && shown->sine;
}

std::string Slot(int slot, int baseModel) {
  return "slot " + std::to_string(slot) + " (" + ParamName(slot, baseModel) + ")";
}

// A value as the job wrote it: "35°", "12000 kPa", "0.3".
std::string JobValue(const input::ParameterLanguage& p, double stored) {
  const std::string text = services::FormatReal(input::ToJobValue(p, stored) + 0.0);
  if (p.unit.empty()) return text;
  return p.unit == "°" ? text + p.unit : text + " " + p.unit;
}

// A TOML job's free parameter whose start value lies outside its bounds, in
// the job's names and units. Angle bounds that both lie within 1° were most
// likely given as sines.
std::string StartOutsideInJobTerms(const input::ParameterLanguage& p, double start, double lo,
                                   double up) {
  std::string text = p.name + ": the start value " + JobValue(p, start) +
                     " of [parameters] lies outside its bounds " + JobValue(p, lo) + " and " +
                     JobValue(p, up) + " in calibrate.free";
  const double loGiven = input::ToJobValue(p, lo);
  const double upGiven = input::ToJobValue(p, up);
  if (p.conversion == "sine" && std::abs(loGiven) <= 1.0 && std::abs(upGiven) <= 1.0) {
    return text + "; angles are given in degrees, not as sines: write for example " + p.name +
           " = [" + services::FormatReal(std::round(std::asin(std::clamp(loGiven, -1.0, 1.0)) *
                                                    180.0 / std::acos(-1.0))) +
           ", " +
           services::FormatReal(std::round(std::asin(std::clamp(upGiven, -1.0, 1.0)) * 180.0 /
                                           std::acos(-1.0))) +
           "] in calibrate.free";
  }
  return text + "; widen the bounds to hold it or change the start value";
}

}  // namespace

void WarnIfAbortFilePresent(const std::string& abortFlagPath) {
  if (!services::FileExists(abortFlagPath)) return;
  services::Warn("the abort file " + abortFlagPath +
                 " exists already: the search will stop at its first check with exit code 18; "
                 "delete it to calibrate",
                 "abort_file");
}

void WarnAboutLikelyMistakes(const input::Job& job) {
  const auto& s = job.settings;
  const int base = job.modelNumber % 100;
  for (std::size_t j = 0; j < s.index.size() && j < s.lower.size(); ++j) {
    const int slot = s.index[j];
    const double lo = s.lower[j];
    const double up = s.upper[j];
    const input::ParameterLanguage* language =
        job.language && j < job.language->parameters.size() ? &job.language->parameters[j] : nullptr;
    if (language == nullptr && IsSineSlot(slot, base) && (lo < -1.0 || up > 1.0)) {
      services::Warn(Slot(slot, base) + " holds a sine, but its bounds are " +
                         services::FormatReal(lo) + " and " + services::FormatReal(up) +
                         " (degrees given for a sine?)",
                     "sine_bounds");
    }
    if (slot < 1 || slot > 200) continue;  // the slots the test files give
    const double start = job.material.params[static_cast<std::size_t>(slot)];
    if (start >= lo && start <= up) continue;
    if (language != nullptr) {
      services::Warn(StartOutsideInJobTerms(*language, start, lo, up), "start_outside_bounds");
    } else {
      services::Warn(Slot(slot, base) + ": the start value " + services::FormatReal(start) +
                         " of the test files lies outside the bounds " + services::FormatReal(lo) +
                         " and " + services::FormatReal(up),
                     "start_outside_bounds");
    }
  }
}

}  // namespace soilcal::run
