// How a curve is drawn, as JSON for the pages that draw it themselves (the
// workbench): the report's labels and scales, which column lies on x, a log
// x axis, a y axis growing downwards. The series stay the curve files'
// columns; shown value = scale × value.
#pragma once

#include <nlohmann/json.hpp>

#include "report/quantity_display.hpp"

namespace soilcal::report {

nlohmann::json CurveAxesJson(const CurveView& v);

}  // namespace soilcal::report
