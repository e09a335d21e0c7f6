// The curves of a finished job read back from its folder: the measured
// files and their "_referenced" and "_calculated" files.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace soilcal::report {

// Points of a measured curve file in its column order; empty when the file
// is missing or cannot be read to the end of its points.
CurveSeries ReadMeasuredCurveFile(const std::string& path);
// Points of a simulated-curve file (header line " c1 c2", then " x y").
CurveSeries ReadSimulatedCurveFile(const std::string& path);

// Every curve the summary names, from `folder` (with trailing separator).
JobCurves ReadJobCurves(const Summary& summary, const std::string& folder);

}  // namespace soilcal::report
