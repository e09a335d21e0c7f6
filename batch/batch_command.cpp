// A batch: read the jobs, run them as children (run/batch_runner.hpp), tell
// of each as it ends, write the batch table (batch_summary.csv). Nothing of a job's run is done in
// this process, so a job fails or crashes alone.
#include "batch/batch_command.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "batch/batch_options.hpp"
#include "batch/batch_runner.hpp"
#include "batch/batch_table.hpp"
#include "jobs/front_end.hpp"
#include "jobs/output_folder.hpp"
#include "report/summary_json.hpp"
#include "services/errors.hpp"
#include "services/file_identity.hpp"
#include "services/notices.hpp"

namespace soilcal::batch {

using jobs::Door;
using jobs::ExitStatusOf;
using jobs::kConsoleLogName;
using jobs::OutputFolderOf;

namespace {

std::vector<BatchJob> JobsOf(const BatchOptions& options) {
  std::vector<BatchJob> jobs;
  for (const std::string& path : options.jobs) {
    BatchJob job;
    job.path = path;
    job.outputFolder = OutputFolderOf(path);
    job.logPath = job.outputFolder + kConsoleLogName;
    jobs.push_back(std::move(job));
  }
  return jobs;
}

std::string Seconds(double s) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f s", s);
  return buffer;
}

// "[3/20] path: exit 0, error 20.71 %, 566 evaluations, 1.2 s"
void PrintFinished(const BatchJob& job, int done, std::size_t total) {
  std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + job.path +
                     ": exit " + std::to_string(job.status);
  const std::string name = StatusName(job);
  if (!name.empty()) line += " (" + name + ")";
  if (job.figures.meanError) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, ", error %.4g %%", *job.figures.meanError);
    line += buffer;
  }
  if (job.figures.evaluations) line += ", " + std::to_string(*job.figures.evaluations) + " evaluations";
  line += ", " + Seconds(job.wallSeconds);
  if (job.status != 0) line += "; see " + job.logPath;
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// batch_summary.csv through a temporary file, so a reader never sees half.
bool WriteBatchTable(const std::vector<BatchJob>& jobs) {
  const std::string temporary = std::string(kBatchTableFileName) + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << BatchTableCsv(jobs);
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, kBatchTableFileName, ec);
  return !ec;
}

// Two jobs whose runs would write into one folder (two native jobs of one
// folder, or one job listed twice) would replace each other's result file,
// report, curves and console log: the pair is named and nothing runs.
std::optional<std::string> SharedFolder(const std::vector<BatchJob>& jobs) {
  std::vector<std::string> logs, paths;
  for (const BatchJob& job : jobs) {
    logs.push_back(job.outputFolder + kConsoleLogName);
    paths.push_back(job.path);
  }
  auto clash = services::FindSameFileTwice(paths);  // a job listed twice
  if (!clash) clash = services::FindSameFileTwice(logs);
  if (!clash) return std::nullopt;
  const BatchJob& a = jobs[clash->first];
  const BatchJob& b = jobs[clash->second];
  const std::string folder = a.outputFolder.empty() ? "the current folder" : a.outputFolder;
  return "the jobs " + a.path + " and " + b.path + " of the batch both write into " + folder +
         " and would replace each other's result file, report, curves and console log; "
         "nothing was run: give each job a folder of its own, or list a job once";
}

}  // namespace

int RunBatchCommand(int argc, char** argv) {
  const BatchOptions options = ParseBatchCommandLine(argc, argv);
  if (!options.problem.empty()) {
    services::Notice(options.problem + " (see soilcal --help)");
    const int status = options.jobs.empty() && options.jobsFrom.empty()
                           ? services::kOptimizationFileNotIndicated
                           : services::kNoOptimizationInputFile;
    return ExitStatusOf(Door::kFrontEnd, options.exitStatus, status);
  }
  std::vector<BatchJob> jobs = JobsOf(options);
  if (const auto shared = SharedFolder(jobs)) {
    services::Notice(*shared);
    return options.exitStatus ? services::kNoOptimizationInputFile : 0;
  }
  BatchRunSettings settings;
  settings.program = argc > 0 && argv[0] != nullptr ? argv[0] : "soilcal";
  settings.childOptions = options.childOptions;
  settings.parallel = options.parallel > 0 ? options.parallel : AvailableCores();

  int done = 0;
  RunChildren(settings, jobs, [&](const BatchJob& finished) {
    BatchJob& job = jobs[static_cast<std::size_t>(&finished - jobs.data())];
    job.figures = ReadJobFigures(job.outputFolder + report::kSummaryFileName, job.startedAt);
    PrintFinished(job, ++done, jobs.size());
  });

  int worst = 0;
  for (const BatchJob& job : jobs) worst = std::max(worst, job.status);
  if (!WriteBatchTable(jobs)) {
    services::Notice(std::string(kBatchTableFileName) + " cannot be written in the current folder");
    worst = std::max(worst, 1);
  }
  return ExitStatusOf(Door::kFrontEnd, options.exitStatus, worst);
}

}  // namespace soilcal::batch
