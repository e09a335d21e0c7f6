// The report's section on how far to trust each parameter, and the marks of
// the intervals on the parameters' bound bars.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace soilcal::report {

// The section (heading, table of standard errors and intervals, correlation
// heat map, one sentence per flag); "" when the step did not run.
std::string UncertaintySection(const Summary& summary);

// SVG marks of the 95 % intervals of `p` on its bound bar, which maps the
// range lower..upper to x0..x0 + width: the linearised interval as a band,
// the profile interval as a line below it (dashed towards a bound where it
// does not close). "" without an estimate.
std::string IntervalOnBar(const ParameterSummary& p, double x0, double width);

}  // namespace soilcal::report
