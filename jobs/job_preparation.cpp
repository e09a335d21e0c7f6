#include "jobs/job_preparation.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "jobfile/commands.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_bounds.hpp"
#include "jobfile/toml_job.hpp"
#include "run/job_folder.hpp"
#include "run/job_outputs.hpp"
#include "run/messages.hpp"
#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "services/file_identity.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"
#include "services/run_services.hpp"

namespace soilcal::jobs {
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
  return lock.refused();
}

// An output of the run that would replace one of the TOML job's files: the
// job is refused without a byte written into JOB.out/.
struct OutputOntoInput : services::RunError {
  using services::RunError::RunError;
};

}  // namespace

void CheckTomlRunOutputs(const jobfile::NativeJob& native, const std::string& folder,
                         const std::string& tomlPath,
                         const std::vector<std::string>& alsoWritten) {
  input::Job job = native.job;
  job.projectFolder = folder;
  job.argument = folder + jobfile::kOptimisationFileName;
  for (input::LabTest& test : job.tests) {
    test.testFile = folder + services::BareName(test.testFile);
    for (std::string& curve : test.curveFiles) curve = folder + services::BareName(curve);
  }
  job.language = native.language;
  std::vector<run::JobOutput> outputs = run::JobOutputs(job, folder);
  // The native job written there first.
  std::vector<std::string> nativeFiles{job.argument, folder + input::kJobLanguageFile,
                                        folder + jobfile::kThoroughSearchFlag,
                                        folder + jobfile::kExtendedModelsFlag};
  for (const input::LabTest& test : job.tests) {
    nativeFiles.push_back(test.testFile);
    for (const std::string& curve : test.curveFiles) nativeFiles.push_back(curve);
  }
  for (const std::string& path : nativeFiles) {
    outputs.push_back({run::OutputKind::kResult, path, "a file of the native job"});
  }
  for (const std::string& path : alsoWritten) {
    outputs.push_back({run::OutputKind::kReport, path, "a file of the comparison"});
  }
  std::vector<std::string> paths;
  for (const run::JobOutput& output : outputs) paths.push_back(output.path);
  const auto clash = services::FindOutputOntoInput(paths, native.inputFiles);
  if (!clash) return;
  const std::string& input = native.inputFiles[clash->input];
  const bool isJob = run::SameFile(input, tomlPath);
  throw OutputOntoInput(
      isJob ? jobfile::kJobFileUnreadable : jobfile::kCsvMissing,
      (isJob ? "the job file " : "the curve file ") + input + " would be replaced by " +
          outputs[clash->output].path + ", " + outputs[clash->output].what +
          " of this run; nothing was written: keep the measured files out of " + folder +
          " or give them other names");
}

namespace {

// A TOML job that does not run: the cause on the console and the "General"
// section with its exit code in JOB.out/Optimization_result.txt, or on
// standard output where that folder cannot be had or another run holds it
// (whose files stay untouched), or where an output would replace an input.
// Nothing native is written; what an earlier run left in JOB.out/ (summary,
// report, simulated curves) is removed, so that it cannot pass for the
// outcome of this job.
void RefuseTomlJob(const services::RunError& error, const std::string& tomlPath,
                   services::FolderLock& lock, services::ConsoleSink* console,
                   bool untouched) {
  run::RunClock start{services::WallClockMs(), services::CpuTime()};
  services::RunServices services;
  services.console = console;
  services::ServicesBinding binding(services);
  run::ReportRunError(error);
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  if (!untouched && !lock.held() && !Busy(lock) &&
      MakeFolder(folder, services::FolderOf(tomlPath))) {
    lock = TakeFolder(folder, tomlPath);
  }
  if (lock.held()) {
    std::string jobText;
    std::error_code ec;
    const auto size = std::filesystem::file_size(services::ResolvePath(tomlPath), ec);
    if (!ec && size <= jobfile::kMaxTomlBytes) {
      services::ReadRegularFile(services::ResolvePath(tomlPath), jobText);
    }
    run::RemoveEarlierOutputs(folder, jobText);
  }
  run::ResultFile result;
  if (untouched || Busy(lock) || !result.Open(folder + "Optimization_result.txt")) {
    result.Attach(stdout);
  }
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
    CheckTomlRunOutputs(job, folder, path);
    if (MakeFolder(folder, services::FolderOf(path))) prepared.lock = TakeFolder(folder, path);
    if (Busy(prepared.lock)) throw run::FolderBusyError(folder, prepared.lock);
    jobfile::WriteNativeJob(job, folder);
    prepared.optimisationFile = folder + jobfile::kOptimisationFileName;
  } catch (const OutputOntoInput& error) {
    RefuseTomlJob(error, path, prepared.lock, console, true);
    prepared.refused = error;
  } catch (const services::RunError& error) {
    RefuseTomlJob(error, path, prepared.lock, console, false);
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

}  // namespace soilcal::jobs
