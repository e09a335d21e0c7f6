#include "jobfile/parameter_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "services/diag.hpp"

namespace soilcal::jobfile {

namespace params = models::params;

std::optional<double> DegreesOfSine(double sine) {
  if (!(sine >= -1.0 && sine <= 1.0)) return std::nullopt;
  params::Parameter angle;
  angle.stored = params::Stored::kSine;
  return params::ExactGiven(angle, sine);
}

std::optional<NamedValue> NameValue(const params::Parameter& p, double stored) {
  NamedValue named{std::string(p.name), stored, ""};
  switch (p.stored) {
    case params::Stored::kAsGiven:
      break;
    case params::Stored::kSine: {
      const std::optional<double> degrees = DegreesOfSine(stored);
      if (!degrees) return std::nullopt;
      named.value = *degrees;
      named.note = "sin " + std::string(p.symbol) + " = " + services::FormatReal(stored);
      break;
    }
    default:
      return std::nullopt;  // E and e0 are never written back: G and n0 are exact
  }
  if (!p.range.Contains(named.value)) return std::nullopt;
  return named;
}

std::string SlotName(int slot) { return "slot_" + std::to_string(slot); }

}  // namespace soilcal::jobfile
