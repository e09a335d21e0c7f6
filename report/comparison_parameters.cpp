// The calibrated parameters of a compared model in the units a person
// reads: the summary's values are the slots' own for a native job (sin φ)
// and the job's units for a TOML job; angles stored as sines are shown in
// degrees, as the calibration report shows them.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "report/comparison.hpp"
#include "report/uncertainty_text.hpp"

namespace soilcal::report {
namespace {

std::optional<double> Shown(const ParameterDisplay& d, std::optional<double> stored) {
  if (!stored || !std::isfinite(*stored)) return std::nullopt;
  if (!d.sine) return stored;
  // An interval end beyond a sine of ±1 is the angle's end of the range.
  return std::asin(std::clamp(*stored, -1.0, 1.0)) * 180.0 / std::numbers::pi;
}

}  // namespace

std::vector<ShownParameter> ShownParameters(const Summary& s) {
  UncertaintySummary units = s.uncertainty.value_or(UncertaintySummary{});
  if (s.units && units.forceUnit.empty()) {
    units.forceUnit = s.units->force;
    units.lengthUnit = s.units->length;
    units.timeUnit = s.units->time;
  }
  std::vector<ShownParameter> out;
  for (const ParameterSummary& p : s.parameters) {
    const ParameterDisplay d = DisplayOf(p, s.modelNumber, units);
    ShownParameter shown;
    shown.name = p.name;
    shown.symbol = d.symbol;
    shown.words = d.words;
    shown.unit = d.unit;
    shown.slot = p.slot;
    // A sine slot that holds no sine has no angle to show.
    shown.best = p.best && d.sine && std::abs(*p.best) > 1.0 ? std::nullopt : Shown(d, p.best);
    if (p.uncertainty) {
      const ParameterUncertaintySummary& u = *p.uncertainty;
      if (u.interval95) {
        const auto low = Shown(d, u.interval95->first);
        const auto high = Shown(d, u.interval95->second);
        if (low && high) shown.interval95 = std::make_pair(*low, *high);
      }
      if (u.profile) {
        shown.profiles = true;
        shown.profileLow = Shown(d, u.profile->low);
        shown.profileHigh = Shown(d, u.profile->high);
      }
      for (const UncertaintyFlagSummary& f : u.flags) shown.flags.push_back(f.kind);
    }
    out.push_back(std::move(shown));
  }
  return out;
}

}  // namespace soilcal::report
