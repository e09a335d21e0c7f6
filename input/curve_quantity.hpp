// Value of a measurable quantity (codes 1..35, negative codes negate) at one
// recorded point of a simulated test.
#pragma once

#include "models/tensor.hpp"

namespace soilcal::input {

struct RecordedPoint {
  double time = 0.0;
  Vec6 strain{};
  Vec6 stress{};
  double pw = 0.0;
};

// True for the codes 1..10, 13..35 and their negatives.
bool IsKnownQuantity(int code);
// Value of `code` at `point`. An unknown code writes "ERROR: curve parameter"
// to standard output and raises run error 17.
double CurveQuantity(const RecordedPoint& point, int code);

}  // namespace soilcal::input
