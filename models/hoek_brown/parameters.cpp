#include "models/hoek_brown/parameters.hpp"

#include <algorithm>
#include <cmath>

namespace soilcal::models::hoek_brown {

namespace {

// Slot remembering which of mb, s and a (bits 1, 2, 4) the completion
// derived, so that they follow mi, GSI and D when the optimiser changes
// those: the completed set is completed again before every test.
constexpr int kDerivedSlot = 59;

bool Derive(PropSoil& p, int slot, int bit, int& mask) {
  if (p[slot] <= 0.0) mask |= bit;
  return (mask & bit) != 0;
}

}  // namespace

// Slots 45, 46 and 47 are derived only when not given (not positive).
void CopySoilProp(int, PropSoil& p, const ModelConstants&) {
  const double sci = p[31], mi = p[32], gsi = p[33];
  const double D = std::clamp(p[36], 0.0, 1.0);
  const double stored = p[kDerivedSlot];
  int mask = stored >= 0.0 && stored < 8.0 ? static_cast<int>(stored) : 0;
  if (Derive(p, 45, 1, mask)) p[45] = mi * std::exp((gsi - 100.0) / (28.0 - 14.0 * D));
  if (Derive(p, 46, 2, mask)) p[46] = std::exp((gsi - 100.0) / (9.0 - 3.0 * D));
  if (Derive(p, 47, 4, mask)) {
    p[47] = 0.5 + (std::exp(-gsi / 15.0) - std::exp(-20.0 / 3.0)) / 6.0;
  }
  p[kDerivedSlot] = mask;
  if (p[41] < 0.1) p[41] = 1.0;   // tension factor: the full tensile strength
  if (p[48] < 0.5) p[49] = 1e10;  // no dilatancy: no confinement limit either
  p[58] = p[46] * sci / p[45];
}

}  // namespace soilcal::models::hoek_brown
