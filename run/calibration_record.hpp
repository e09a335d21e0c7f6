// What a calibration knows of itself when it ends: the summary and the
// curves of its report (measured, at the start values and at the best
// values, in each curve file's column order). calibration_summary.json and
// calibration_report.html are written from it, and a caller in the same
// process (a comparison, the Python module) reads it instead of the files.
#pragma once

#include <vector>

#include "report/summary.hpp"
#include "run/curve_terms.hpp"

namespace soilcal::run {

struct CalibrationRecord {
  report::Summary summary;  // with the uncertainty of each parameter, when the step ran
  report::JobCurves curves;
  // The same curves in the job's terms (its quantity names, units and signs).
  std::vector<NamedTestCurves> namedCurves;
};

}  // namespace soilcal::run
