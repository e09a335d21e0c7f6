// Sections of the comparison report; comparison_html.cpp puts them together.
#pragma once

#include <cstddef>
#include <string>

#include "report/comparison.hpp"

namespace soilcal::report {

// The colour of the model in rank position `index` (0 the best), the same in
// every figure and in the ranking table.
std::string ModelColour(std::size_t index);

// One figure per measured curve, test by test, with every model's calibrated
// curve over the measured points.
std::string ComparisonFigures(const Comparison& comparison);

}  // namespace soilcal::report
