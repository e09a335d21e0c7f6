// The doors of a comparison: a TOML job of [[models]] becomes one native job
// per model under JOB.out/; native jobs named after --compare are read and
// checked to share their tests. Both end in RunComparison.
#include "compare/compare_command.hpp"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

#include "compare/compare_jobs.hpp"
#include "compare/compare_runs.hpp"
#include "jobs/front_end.hpp"
#include "jobs/job_preparation.hpp"
#include "jobfile/commands.hpp"
#include "jobfile/model_list.hpp"
#include "jobfile/native_writer.hpp"
#include "report/comparison.hpp"
#include "report/summary.hpp"
#include "run/messages.hpp"
#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "services/folder_lock.hpp"
#include "services/interrupt.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::compare {

using jobs::CheckTomlRunOutputs;
using jobs::Door;
using jobs::ExitStatusOf;

namespace {

namespace fs = std::filesystem;

bool IsOption(std::string_view arg) { return arg.size() > 2 && arg.substr(0, 2) == "--"; }

struct QuietConsole : services::ConsoleSink {
  void Write(services::ConsoleStream, std::string_view) override {}
};

// The options of every run from the command line's options (wherever they
// stand); `searchGiven` tells whether it names the search.
run::RunOptions OptionsOf(int argc, char** argv, bool& searchGiven) {
  std::vector<char*> options{argv[0]};
  searchGiven = false;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (!IsOption(arg) || arg == "--compare") continue;
    options.push_back(argv[i]);
    if (arg.starts_with("--search=")) searchGiven = true;
  }
  options.push_back(nullptr);
  run::RunOptions parsed = run::ParseCommandLine(static_cast<int>(options.size()) - 1, options.data());
  for (const std::string& unknown : parsed.unknown) {
    services::Warn("unknown option " + unknown + " ignored (see soilcal --help)");
  }
  return parsed;
}

int Status(const run::RunOptions& options, int status) {
  return ExitStatusOf(Door::kFrontEnd, options.exitStatus, status);
}

// A job of [[models]] that fails its checks: the cause on standard error and
// a result file with its exit code in JOB.out/, as for a job of one model;
// no model is run.
void Refuse(const services::RunError& error, const std::string& tomlPath,
            bool untouched = false) {
  const run::RunClock start{services::WallClockMs(), services::CpuTime()};
  services::RunServices services;
  services::ServicesBinding binding(services);
  run::ReportRunError(error);
  if (untouched) {  // an output would replace an input: nothing is written
    run::ResultFile result;
    result.Attach(stdout);
    result.WriteGeneralSection(error.code, start);
    return;
  }
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  const std::string parent = services::FolderOf(tomlPath);
  std::error_code ec;
  if (parent.empty() || fs::is_directory(services::ResolvePath(parent))) {
    fs::create_directories(services::ResolvePath(folder), ec);
  }
  RemoveComparisonFiles(folder);  // an earlier comparison is no answer to this job
  run::ResultFile result;
  if (!result.Open(folder + run::kResultFileName)) result.Attach(stdout);
  result.WriteGeneralSection(error.code, start);
  result.Close();
}

// The last name of a folder ("runs/b/" -> "b"); "." for the current one.
std::string FolderName(const std::string& folder) {
  std::string path = folder;
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  if (path.empty() || path == ".") {
    std::error_code ec;
    const std::string here = fs::current_path(ec).filename().string();
    return here.empty() ? "." : here;
  }
  return services::BareName(path);
}

// "Hardening Soil", or "Hardening Soil (runs/b)" where two jobs calibrate the
// same model.
std::vector<std::string> NamesOf(const std::vector<ComparedJob>& jobs) {
  std::vector<std::string> names;
  for (const ComparedJob& j : jobs) {
    const std::string name = report::ModelName(j.job.modelNumber, j.job.material.name);
    names.push_back(name.empty() ? "model " + std::to_string(j.job.modelNumber) : name);
  }
  std::vector<std::string> out = names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (std::count(names.begin(), names.end(), names[i]) < 2) continue;
    std::string folder = jobs[i].folder.empty() ? "." : jobs[i].folder;
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    out[i] += " (" + folder + ")";
  }
  return out;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(services::ResolvePath(a), services::ResolvePath(b), ec);
}

}  // namespace

bool IsCompareCommand(int argc, char** argv) {
  bool compare = false;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "--version") return false;
    if (arg == "--compare") compare = true;
  }
  return compare;
}

int RunCompareCommand(int argc, char** argv) {
  bool searchGiven = false;
  run::RunOptions options = OptionsOf(argc, argv, searchGiven);
  // A comparison is only as fair as its searches.
  if (!searchGiven) options.search = run::SearchMode::kThorough;
  std::vector<std::string> paths;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    if (!IsOption(argv[i])) paths.emplace_back(argv[i]);
  }
  if (paths.size() < 2) {
    services::Notice("--compare needs the optimisation files of two jobs or more (see soilcal --help)");
    return Status(options, services::kOptimizationFileNotIndicated);
  }
  services::InstallInterruptHandlers();

  std::vector<ComparedJob> jobs;
  try {
    // The runs give the readers' warnings; the check reads quietly.
    QuietConsole quiet;
    services::RunServices services;
    services.console = &quiet;
    services::ServicesBinding binding(services);
    for (const std::string& path : paths) {
      for (const ComparedJob& earlier : jobs) {
        if (!SameFile(earlier.path, path)) continue;
        throw services::RunError(services::kNoOptimizationInputFile,
                                 earlier.path + " and " + path + " are the same job; name each once");
      }
      jobs.push_back(ReadComparedJob(path));
    }
    for (std::size_t i = 1; i < jobs.size(); ++i) CheckSameTests(jobs.front(), jobs[i]);
  } catch (const services::RunError& error) {
    run::ReportRunError(error);
    return Status(options, error.code);
  }

  const std::vector<std::string> names = NamesOf(jobs);
  std::vector<ModelToCompare> models;
  ComparisonSettings settings;
  settings.options = options;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    ModelToCompare m;
    m.name = names[i];
    m.label = FolderName(jobs[i].folder);
    m.folder = jobs[i].folder;
    m.folderText = jobs[i].folder.empty() ? "./" : jobs[i].folder;
    m.optimisationFile = jobs[i].path;
    const std::optional<std::string> search =
        searchGiven ? std::optional<std::string>(options.search == run::SearchMode::kThorough
                                                     ? "thorough"
                                                     : "default")
                    : std::nullopt;
    m.reuse = FinishedRunMatches(jobs[i], search);
    models.push_back(std::move(m));
    settings.title += (i > 0 ? i + 1 == jobs.size() ? " and " : ", " : "") + jobs[i].path;
  }
  return Status(options, RunComparison(models, settings));
}

int RunModelComparison(int argc, char** argv, int pathIndex) {
  bool searchGiven = false;
  const run::RunOptions options = OptionsOf(std::min(argc, pathIndex), argv, searchGiven);
  const std::string path = argv[pathIndex];
  services::InstallInterruptHandlers();

  const std::string folder = jobfile::NativeFolderOf(path);

  // One comparison at a time in JOB.out/, and nothing in it is written or
  // removed before its lock is held (a refused job's result file included);
  // each model's run takes its own folder's lock as well.
  std::error_code ec;
  const std::string parent = services::FolderOf(path);
  if (parent.empty() || fs::is_directory(services::ResolvePath(parent))) {
    fs::create_directories(services::ResolvePath(folder), ec);
  }
  services::FolderLock lock =
      services::FolderLock::Take(folder, services::DescribeThisRun(path));
  if (lock.refused()) {
    services::Notice(lock.state() == services::FolderLock::State::kForeign
                         ? lock.cause() + "; the comparison was not started (exit code 12)"
                         : folder + " is in use by another run (" + lock.holder() +
                               "); the comparison was not started (exit code 12)");
    return Status(options, services::kNoOptimizationInputFile);
  }
  std::vector<jobfile::ModelJob> jobs;
  try {
    jobs = jobfile::ReadModelList(path);
  } catch (const services::RunError& error) {
    Refuse(error, path);
    return Status(options, error.code);
  }
  // No model's run and no file of the comparison replaces a file of the job.
  try {
    for (const jobfile::ModelJob& job : jobs) {
      CheckTomlRunOutputs(job.job, folder + job.label + "/", path,
                          {folder + report::kComparisonJsonName,
                           folder + report::kComparisonReportName, folder + run::kResultFileName});
    }
  } catch (const services::RunError& error) {
    Refuse(error, path, true);
    return Status(options, error.code);
  }
  RemoveComparisonFiles(folder);
  fs::remove(services::ResolvePath(folder + run::kResultFileName), ec);

  std::vector<ModelToCompare> models;
  try {
    for (jobfile::ModelJob& job : jobs) {
      // --search=default undoes the thorough search a comparison asks for
      // when its job names none.
      if (searchGiven && options.search == run::SearchMode::kDefault && !job.searchGiven) {
        job.job.thorough = false;
      }
      ModelToCompare m;
      m.name = job.title;
      m.label = job.label;
      m.folder = folder + job.label + "/";
      m.folderText = job.label + "/";
      m.optimisationFile = m.folder + jobfile::kOptimisationFileName;
      jobfile::WriteNativeJob(job.job, m.folder);
      models.push_back(std::move(m));
    }
  } catch (const services::RunError& error) {
    Refuse(error, path);
    return Status(options, error.code);
  }
  ComparisonSettings settings;
  settings.options = options;
  settings.title = services::BareName(path);
  settings.outputFolder = folder;
  return Status(options, RunComparison(models, settings));
}

}  // namespace soilcal::compare
