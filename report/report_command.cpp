#include "report/report_command.hpp"

#include <cstdio>

#include "report/curve_reading.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "services/paths.hpp"

namespace soilcal::report {

int RebuildReport(const std::string& folder) {
  std::string error;
  const auto summary = ReadSummaryJson(services::ResolvePath(folder + kSummaryFileName), error);
  if (!summary) {
    std::fprintf(stderr, "soilcal-report: %s\n", error.c_str());
    return 1;
  }
  const JobCurves curves = ReadJobCurves(*summary, folder);
  const std::string out = services::ResolvePath(folder + kReportFileName);
  if (!WriteTextFile(out, RenderCalibrationReport(*summary, curves))) {
    std::fprintf(stderr, "soilcal-report: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

}  // namespace soilcal::report
