#include "run/job_checks.hpp"

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
    if (IsSineSlot(slot, base) && (lo < -1.0 || up > 1.0)) {
      services::Warn(Slot(slot, base) + " holds a sine, but its bounds are " +
                         services::FormatReal(lo) + " and " + services::FormatReal(up) +
                         " (degrees given for a sine?)",
                     "sine_bounds");
    }
    if (slot < 1 || slot > 200) continue;  // the slots the test files give
    const double start = job.material.params[static_cast<std::size_t>(slot)];
    if (start < lo || start > up) {
      services::Warn(Slot(slot, base) + ": the start value " + services::FormatReal(start) +
                         " of the test files lies outside the bounds " + services::FormatReal(lo) +
                         " and " + services::FormatReal(up),
                     "start_outside_bounds");
    }
  }
}

}  // namespace soilcal::run
