#include "derive/bounds.hpp"

#include <algorithm>
#include <cmath>

namespace soilcal::derive {

namespace params = models::params;

Bounds BoundsAround(const params::Parameter& p, double start, double low, double high,
                    Margin margin) {
  low = std::min({low, high, start});
  high = std::max({low, high, start});
  const bool identity = margin == Margin::kIdentity;
  Bounds b;
  switch (p.quantity) {
    case params::Quantity::kAngle:
      b = identity ? Bounds{low - 1.0, high + 1.0} : Bounds{low - 3.0, high + 3.0};
      break;
    case params::Quantity::kStress:
    case params::Quantity::kStressPerLength:
      b = identity ? Bounds{low / 1.05, high * 1.05} : Bounds{low / 1.5, high * 1.5};
      break;
    default:
      b = identity ? Bounds{low / 1.05, high * 1.05} : Bounds{low / 1.25, high * 1.25};
      break;
  }
  if (low < 0.0) b.lower = low * 1.5;  // a negative start widens downwards
  const params::Range& r = p.range;
  const double nudge = 1e-3 * std::max(std::abs(start), 1e-12);
  b.lower = std::max(b.lower, r.lowOpen ? r.low + nudge : r.low);
  b.upper = std::min(b.upper, r.highOpen ? r.high - nudge : r.high);
  b.lower = std::min(b.lower, start);
  b.upper = std::max(b.upper, start);
  return b;
}

}  // namespace soilcal::derive
