#include "models/hoek_brown/parameters.hpp"

#include <algorithm>
#include <cmath>

namespace soilcal::models::hoek_brown {

// Slots 45, 46 and 47 are derived only when not given (not positive). Once
// derived they are given: completing the set again keeps them.
void CopySoilProp(int, PropSoil& p, const ModelConstants&) {
  const double sci = p[31], mi = p[32], gsi = p[33];
  const double D = std::clamp(p[36], 0.0, 1.0);
  if (p[45] <= 0.0) p[45] = mi * std::exp((gsi - 100.0) / (28.0 - 14.0 * D));
  if (p[46] <= 0.0) p[46] = std::exp((gsi - 100.0) / (9.0 - 3.0 * D));
  if (p[47] <= 0.0) p[47] = 0.5 + (std::exp(-gsi / 15.0) - std::exp(-20.0 / 3.0)) / 6.0;
  if (p[41] < 0.1) p[41] = 1.0;   // tension factor: the full tensile strength
  if (p[48] < 0.5) p[49] = 1e10;  // no dilatancy: no confinement limit either
  p[58] = p[46] * sci / p[45];
}

}  // namespace soilcal::models::hoek_brown
