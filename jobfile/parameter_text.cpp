#include "jobfile/parameter_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "services/diag.hpp"

namespace soilcal::jobfile {
namespace {

namespace params = models::params;

// `v` rounded to `digits` significant digits.
double Rounded(double v, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
  return std::strtod(buffer, nullptr);
}

}  // namespace

std::optional<double> DegreesOfSine(double sine) {
  if (!(sine >= -1.0 && sine <= 1.0)) return std::nullopt;
  params::Parameter angle;
  angle.stored = params::Stored::kSine;
  const double d = params::FromStored(angle, sine);
  // Short decimals first (35 for a sine the reader made from 35), then the
  // neighbouring doubles of asin: sin(asin(x)) need not give x back.
  std::vector<double> candidates;
  for (int digits = 1; digits <= 17; ++digits) candidates.push_back(Rounded(d, digits));
  double up = d, down = d;
  candidates.push_back(d);
  for (int k = 0; k < 64; ++k) {
    up = std::nextafter(up, INFINITY);
    down = std::nextafter(down, -INFINITY);
    candidates.push_back(up);
    candidates.push_back(down);
  }
  std::optional<double> best;
  for (double c : candidates) {
    if (params::ToStored(angle, c) != sine) continue;
    if (!best) {
      best = c;
      continue;
    }
    const std::size_t length = services::FormatReal(c).size();
    const std::size_t bestLength = services::FormatReal(*best).size();
    if (length < bestLength ||
        (length == bestLength && std::abs(c - d) < std::abs(*best - d))) {
      best = c;
    }
  }
  return best;
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
