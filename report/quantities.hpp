// Axis labels named from the quantity codes of the curve files.
#pragma once

#include <string>

namespace soilcal::report {

// Symbol of quantity `code` (negative codes negate: "−εyy"); "code N" for an
// unknown code.
std::string QuantitySymbol(int code);
// Symbol and a few words: "q, deviator stress".
std::string QuantityLabel(int code);

}  // namespace soilcal::report
