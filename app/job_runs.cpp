#include "app/job_runs.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "jobfile/commands.hpp"
#include "jobfile/toml_job.hpp"
#include "run/messages.hpp"
#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::app {
namespace {

// A TOML job that fails its checks: the cause on the console and a result
// file with its exit code in the job's output folder; nothing native.
void RefuseTomlJob(const services::RunError& error, const std::string& tomlPath,
                   services::ConsoleSink* console) {
  run::RunClock start{services::WallClockMs(), services::CpuTime()};
  services::RunServices services;
  services.console = console;
  services::ServicesBinding binding(services);
  run::ReportRunError(error);
  // JOB.out/ beside the job file; a job file in a folder that does not exist
  // gets its section on standard output rather than a folder made by a typo.
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  const std::string parent = services::FolderOf(tomlPath);
  std::error_code ec;
  if (parent.empty() || std::filesystem::is_directory(services::ResolvePath(parent))) {
    std::filesystem::create_directories(services::ResolvePath(folder), ec);
  }
  run::ResultFile result;
  if (!result.Open(folder + "Optimization_result.txt")) result.Attach(stdout);
  result.WriteGeneralSection(error.code, start);
  result.Close();
}

// A new folder under the system's temporary folder, with its separator.
std::string MakeTemporaryFolder() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "soilcal-job-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) {
    throw services::RunError(services::kCouldNotAllocateMemory,
                             "no temporary folder for the native job can be made in " +
                                 base.string());
  }
  return std::string(buffer.data()) + "/";
}

}  // namespace

PreparedRun PrepareRun(const std::string& path, services::ConsoleSink* console) {
  if (!jobfile::IsTomlJob(path)) return {path, std::nullopt};
  try {
    return {jobfile::WriteNativeFromToml(path, jobfile::NativeFolderOf(path)), std::nullopt};
  } catch (const services::RunError& error) {
    RefuseTomlJob(error, path, console);
    return {"", error};
  }
}

run::CalibrationOutcome CalibrateJobFile(const std::string& path,
                                         run::CalibrationRequest request) {
  const PreparedRun prepared = PrepareRun(path, request.console);
  if (prepared.refused) {
    run::CalibrationOutcome refused;
    refused.outcome.exitCode = prepared.refused->code;
    refused.message = run::RunErrorLine(*prepared.refused);
    refused.folder = jobfile::NativeFolderOf(path);
    return refused;
  }
  request.path = prepared.optimisationFile;
  return run::RunCalibration(request);
}

JobFile::JobFile(const std::string& path, services::ConsoleSink* console, bool extendedModels) {
  std::string optimisationFile = path;
  if (jobfile::IsTomlJob(path)) {
    nativeFolder_ = MakeTemporaryFolder();
    try {
      optimisationFile = jobfile::WriteNativeFromToml(path, nativeFolder_);
    } catch (...) {
      std::error_code ec;
      std::filesystem::remove_all(nativeFolder_, ec);
      throw;
    }
  }
  try {
    job_ = std::make_unique<run::OpenedJob>(optimisationFile, console, extendedModels);
  } catch (...) {
    if (!nativeFolder_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(nativeFolder_, ec);
    }
    throw;
  }
}

JobFile::~JobFile() {
  job_.reset();
  if (nativeFolder_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(nativeFolder_, ec);
}

}  // namespace soilcal::app
