// What soilcal-report does: the calibration report of a finished job,
// rendered again from the job's summary and curve files.
#pragma once

#include <string>

namespace soilcal::report {

// Writes calibration_report.html into `folder` (the job's output folder,
// with a trailing separator) from calibration_summary.json and the curve
// files there; prints the page's path. Returns the program's exit code: 1
// with a line on standard error when the summary cannot be read or the page
// cannot be written.
int RebuildReport(const std::string& folder);

}  // namespace soilcal::report
