#include "run/job_folder.hpp"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "input/readers.hpp"
#include "run/job_checks.hpp"
#include "run/job_outputs.hpp"
#include "services/channels.hpp"
#include "services/diag.hpp"
#include "services/diag_buffer.hpp"
#include "services/errors.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

constexpr int kDiagUnit = 2;

// Unit 2 on "file2" when the flag file "do_opti" lies in the project folder,
// otherwise on the null device (Diag().on() is then false). Lines held back
// while the optimisation file was read follow.
void OpenDiagnosticChannel(const std::string& folder, const std::string& heldLines) {
  const std::string target = services::FileExists(folder + "do_opti") ? folder + "file2" : "nul";
  services::OpenWithRetry(kDiagUnit, target, services::OpenMode::kWrite);
  services::Diag().Append(heldLines);
}

// The result file in the project folder; when it cannot be created the
// sections go to standard output so the outcome is not lost, and standard
// error says so.
void OpenResultFile(const std::string& folder, ResultFile& result) {
  const std::string path = folder + kResultFileName;
  if (result.Open(path)) return;
  result.Attach(stdout);
  std::string sentence = "cannot open the result file " + services::ResolvePath(path) +
                         " for writing: " + services::ErrorText(result.openError()) +
                         "; the result follows on standard output";
  if (services::FileExists(path)) sentence += ", and the file there is left from an earlier run";
  services::ReportFileFailure(sentence);
}

// Ends the run before it has written anything into the folder.
void KeepUntouched(JobFolder& place, ResultFile& result) {
  place.untouched = true;
  result.Attach(stdout);
}

// One run per folder: a second run stops at once, naming the first.
// `job` names this run's job for a second one. A lock of this folder that
// the caller handed over is kept.
void TakeFolder(JobFolder& place, const std::string& job, ResultFile& result) {
  if (place.lock.HoldsFolder(place.folder)) return;
  place.lock = services::FolderLock::Take(place.folder, services::DescribeThisRun(job));
  if (!place.lock.refused()) return;
  KeepUntouched(place, result);
  throw FolderBusyError(place.folder, place.lock);
}

// Closes the diagnostic log; a log that could not be written whole is said.
void CloseDiagnosticChannel(const std::string& folder) {
  std::FILE* log = services::UnitFile(kDiagUnit);
  if (log == nullptr) return;
  const bool isFile = services::Diag().on();  // not the null device
  errno = 0;
  bool written = std::fflush(log) == 0 && std::ferror(log) == 0;
  int error = errno;
  if (!services::CloseUnit(kDiagUnit)) {
    written = false;
    if (error == 0) error = errno;
  }
  if (!written && isFile) {
    services::ReportOutputFailure(
        services::ResolvePath(folder + "file2"),
        error != 0 ? services::ErrorText(error) : std::string("a write failed"));
  }
}

}  // namespace

services::RunError FolderBusyError(const std::string& folder, const services::FolderLock& lock) {
  const std::string where = folder.empty() ? "the current folder" : folder;
  if (lock.state() == services::FolderLock::State::kForeign) {
    return services::RunError(services::kNoOptimizationInputFile,
                              lock.cause() + "; this run stops without writing anything in " +
                                  where + ": remove that name and run again");
  }
  const std::string holder = lock.holder().empty() ? "a run that has just started" : lock.holder();
  return services::RunError(services::kNoOptimizationInputFile,
                            "another run is working in the job folder " + where + " (" + holder +
                                "); this run stops without writing anything there: wait for that "
                                "run to end, or stop it with the file AbortCalc");
}

void PrepareJobFolder(JobFolder& place, const std::string& argument, input::Job& job,
                      ResultFile& result) {
  place.folder = services::FolderOf(argument);
  WarnIfAbortFilePresent(place.folder + "AbortCalc");
  std::exception_ptr readError;
  std::string heldLines;
  {
    // file2 is not opened before it is known not to be one of the inputs.
    services::DiagBuffer held;
    try {
      input::ReadOptimisationInput(argument, job);
    } catch (const services::RunError&) {
      readError = std::current_exception();
    }
    heldLines = held.Take();
  }
  const std::vector<JobOutput> outputs = JobOutputs(job, place.folder);
  try {
    CheckNoOutputReplacesAnInput(job, outputs);
  } catch (const services::RunError&) {
    KeepUntouched(place, result);
    throw;
  }
  std::error_code ignored;
  TakeFolder(place, std::filesystem::absolute(argument, ignored).string(), result);
  RemoveStaleOutputs(outputs);
  OpenDiagnosticChannel(place.folder, heldLines);
  OpenResultFile(place.folder, result);
  services::SetRecordFolder(place.folder);
  if (readError) std::rethrow_exception(readError);
}

void PrepareCurrentFolder(JobFolder& place, ResultFile& result) {
  place.folder.clear();
  TakeFolder(place, "none (no optimisation file given)", result);
  OpenResultFile("", result);
}

void CloseJobFolder(JobFolder& place, ResultFile& result) {
  result.Close();
  CloseDiagnosticChannel(place.folder);
  services::CloseAllUnits();
  place.lock.Release();
}

}  // namespace soilcal::run
