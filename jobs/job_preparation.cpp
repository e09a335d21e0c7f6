#include "jobs/job_preparation.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "jobfile/commands.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "run/job_folder.hpp"
#include "run/messages.hpp"
#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::app {
namespace {

// The folder of a native job made when missing. A job file in a folder that
// does not exist gets no folder made by a typo: false then.
bool MakeFolder(const std::string& folder, const std::string& parent) {
  if (!parent.empty() && !std::filesystem::is_directory(services::ResolvePath(parent))) {
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(services::ResolvePath(folder), ec);
  return std::filesystem::is_directory(services::ResolvePath(folder));
}

// The lock of the folder a TOML job writes into, taken before the first
// byte is written there and named after the job file.
services::FolderLock TakeFolder(const std::string& folder, const std::string& tomlPath) {
  std::error_code ignored;
  return services::FolderLock::Take(
      folder, services::DescribeThisRun(std::filesystem::absolute(tomlPath, ignored).string()));
}

bool Busy(const services::FolderLock& lock) {
  return lock.state() == services::FolderLock::State::kBusy;
}

// A TOML job that does not run: the cause on the console and the "General"
// section with its exit code in JOB.out/Optimization_result.txt, or on
// standard output where that folder cannot be had or another run holds it
// (whose files stay untouched). Nothing native is written.
void RefuseTomlJob(const services::RunError& error, const std::string& tomlPath,
                   services::FolderLock& lock, services::ConsoleSink* console) {
  run::RunClock start{services::WallClockMs(), services::CpuTime()};
  services::RunServices services;
  services.console = console;
  services::ServicesBinding binding(services);
  run::ReportRunError(error);
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  if (!lock.held() && !Busy(lock) && MakeFolder(folder, services::FolderOf(tomlPath))) {
    lock = TakeFolder(folder, tomlPath);
  }
  run::ResultFile result;
  if (Busy(lock) || !result.Open(folder + "Optimization_result.txt")) result.Attach(stdout);
  result.WriteGeneralSection(error.code, start);
  result.Close();
  lock.Release();
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
  PreparedRun prepared;
  if (!jobfile::IsTomlJob(path)) {
    prepared.optimisationFile = path;
    return prepared;
  }
  const std::string folder = jobfile::NativeFolderOf(path);
  try {
    const jobfile::NativeJob job = jobfile::ReadTomlJob(path);
    if (MakeFolder(folder, services::FolderOf(path))) prepared.lock = TakeFolder(folder, path);
    if (Busy(prepared.lock)) throw run::FolderBusyError(folder, prepared.lock);
    jobfile::WriteNativeJob(job, folder);
    prepared.optimisationFile = folder + jobfile::kOptimisationFileName;
  } catch (const services::RunError& error) {
    RefuseTomlJob(error, path, prepared.lock, console);
    prepared.refused = error;
  }
  return prepared;
}

void WriteNativeJobFile(const std::string& tomlPath, const std::string& folder) {
  const jobfile::NativeJob job = jobfile::ReadTomlJob(tomlPath);
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  services::FolderLock lock;
  if (MakeFolder(dir, "")) lock = TakeFolder(dir, tomlPath);
  if (Busy(lock)) throw run::FolderBusyError(dir, lock);
  jobfile::WriteNativeJob(job, dir);
}

run::CalibrationOutcome CalibrateJobFile(const std::string& path,
                                         run::CalibrationRequest request) {
  PreparedRun prepared = PrepareRun(path, request.console);
  if (prepared.refused) {
    run::CalibrationOutcome refused;
    refused.outcome.exitCode = prepared.refused->code;
    refused.message = run::RunErrorLine(*prepared.refused);
    refused.folder = jobfile::NativeFolderOf(path);
    return refused;
  }
  request.path = prepared.optimisationFile;
  return run::RunCalibration(request, std::move(prepared.lock));
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
