// Placeholder so the tree links; replaced by the quantity table.
#include "input/curve_quantity.hpp"

namespace soilcal::input {
bool IsKnownQuantity(int) { return false; }
double CurveQuantity(const RecordedPoint&, int) { return 0.0; }
}  // namespace soilcal::input
