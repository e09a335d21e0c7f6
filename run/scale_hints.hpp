// Measured curves that were most likely given in percent where the job
// expects fractions: the measured strains reach about a hundred times what
// the test's simulation reaches. The fit of such a curve fails (its points
// lie beyond the simulated range, exit code 19) or means nothing, and the
// cause is a missing scale, not the model.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/records.hpp"
#include "report/summary.hpp"

namespace soilcal::run {

// The largest |measured| over the largest |simulated| of one axis that still
// reads as percent against fractions (100 exactly when the simulation
// reaches the end of the measured range, less when it stops short).
inline constexpr double kPercentRatioLow = 30.0;
inline constexpr double kPercentRatioHigh = 300.0;

// The ratio of the largest |value| of `measured` to that of `simulated`;
// none when either is empty or the simulated values are all 0.
std::optional<double> RangeRatio(const std::vector<double>& measured,
                                 const std::vector<double>& simulated);

// One "percent_scale" warning per strain axis of a curve whose RangeRatio
// against the start curve lies between the two bounds, in the job's terms:
// "add x_scale = 0.01" for a TOML job, "divide ... by 100" for a native one.
std::vector<report::Warning> ScaleHints(const input::Job& job, const report::Summary& summary,
                                        const report::JobCurves& curves);

}  // namespace soilcal::run
