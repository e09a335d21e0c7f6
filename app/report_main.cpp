// soilcal-report JOB: renders calibration_report.html of a finished job from
// its calibration_summary.json and its curve files. JOB is the job folder
// or its optimisation file.
#include <cstdio>
#include <filesystem>
#include <string>

#include "report/curve_reading.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "services/paths.hpp"

namespace {

using namespace soilcal;

// The job folder with a trailing separator.
std::string JobFolder(const std::string& argument) {
  const std::string resolved = services::ResolvePath(argument);
  std::error_code ec;
  if (std::filesystem::is_directory(resolved, ec)) {
    return resolved.empty() || resolved.back() == '/' ? resolved : resolved + "/";
  }
  return services::FolderOf(resolved);
}

int Run(const std::string& argument) {
  std::error_code ec;
  if (!std::filesystem::exists(services::ResolvePath(argument), ec)) {
    std::fprintf(stderr, "soilcal-report: no such job folder or file: %s\n", argument.c_str());
    return 1;
  }
  const std::string folder = JobFolder(argument);
  std::string error;
  const auto summary = report::ReadSummaryJson(services::ResolvePath(folder + report::kSummaryFileName), error);
  if (!summary) {
    std::fprintf(stderr, "soilcal-report: %s\n", error.c_str());
    return 1;
  }
  const report::JobCurves curves = report::ReadJobCurves(*summary, folder);
  const std::string out = services::ResolvePath(folder + report::kReportFileName);
  if (!report::WriteTextFile(out, report::RenderCalibrationReport(*summary, curves))) {
    std::fprintf(stderr, "soilcal-report: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("%s\n", out.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: soilcal-report JOB\n"
                         "  JOB: the job folder or its optimisation file. Writes\n"
                         "  calibration_report.html into the job folder from\n"
                         "  calibration_summary.json and the curve files.\n");
    return argc == 2 ? 0 : 1;
  }
  return Run(argv[1]);
}
