// soilcal-report JOB: renders calibration_report.html of a finished job from
// its calibration_summary.json and its curve files. JOB is the job folder,
// its optimisation file or its TOML job (whose outputs are in JOB.out/).
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "jobs/output_folder.hpp"
#include "report/report_command.hpp"
#include "services/paths.hpp"

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: soilcal-report JOB\n"
                         "  JOB: the job folder, its optimisation file or its TOML job.\n"
                         "  Writes calibration_report.html into the job's output folder\n"
                         "  from calibration_summary.json and the curve files.\n");
    return argc == 2 ? 0 : 1;
  }
  const std::string argument = argv[1];
  std::error_code ec;
  if (!std::filesystem::exists(soilcal::services::ResolvePath(argument), ec)) {
    std::fprintf(stderr, "soilcal-report: no such job folder or file: %s\n", argument.c_str());
    return 1;
  }
  return soilcal::report::RebuildReport(soilcal::jobs::OutputFolderOf(argument));
}
