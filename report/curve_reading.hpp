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

// Every curve the summary names, from `folder` (with trailing separator),
// the simulated ones as the objective compared them (AsCompared).
JobCurves ReadJobCurves(const Summary& summary, const std::string& folder);

// A simulated curve (file column order, one point per recorded point) as the
// objective compared it with a measured curve of several phases: each later
// phase p with measured points shifted in both columns so that its point
// PhaseFirstPoint(p) lies on the phase's first measured point, and a NaN
// point before each later phase, so that it is drawn on its own. Curves of
// one phase, or whose phases do not match the test's, come back as they are.
CurveSeries AsCompared(const CurveSeries& simulated, const CurveSeries& measured,
                       const std::vector<int>& segments, const std::vector<int>& loadSteps);

}  // namespace soilcal::report
