// A job file of either kind for the engine's library calls, as the program's
// front door treats it: a native job as it is, a TOML job written as its
// native job first (into JOB.out/ for a run). The command line and the
// Python module go through these, so a job runs the same way from both.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobfile/native_job.hpp"
#include "run/calibration.hpp"
#include "run/open_job.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"
#include "services/folder_lock.hpp"

namespace soilcal::jobs {

// The optimisation file a run of `path` starts from. A TOML job is checked,
// the folder JOB.out/ beside it taken (its lock held, for the run to keep)
// and its native job written there; one that fails its checks, or whose
// folder another run holds, is refused as the program refuses it (a line on
// the console, a result file with the exit code in JOB.out/ or on standard
// output when another run works there), and the error comes back instead.
// Raises the run error of an output of a run of the TOML job `native` in
// `folder` (its result file, summary, report, curve files and CSV curves),
// or of one of `alsoWritten` (a comparison's files), that would replace a
// file the job was read from: 12 for the TOML file, 10 for a CSV file.
void CheckTomlRunOutputs(const jobfile::NativeJob& native, const std::string& folder,
                         const std::string& tomlPath,
                         const std::vector<std::string>& alsoWritten = {});

struct PreparedRun {
  std::string optimisationFile;
  std::optional<services::RunError> refused;
  services::FolderLock lock;  // JOB.out/ of a TOML job; nothing for a native job
};
PreparedRun PrepareRun(const std::string& path, services::ConsoleSink* console);

// soilcal --write-native DIR JOB.toml: the native job of a TOML job, written
// while the folder's lock is held, so never into a folder where a run works.
// Throws services::RunError.
void WriteNativeJobFile(const std::string& tomlPath, const std::string& folder);

// The whole calibration of the job file `path` (request.path is set here).
run::CalibrationOutcome CalibrateJobFile(const std::string& path, run::CalibrationRequest request);

// A job file opened without running it. A TOML job's native job is written
// into a private temporary folder that lives as long as the object, so that
// nothing beside the job file changes.
class JobFile {
 public:
  // Throws services::RunError (a job that fails its checks or cannot be
  // read) and services::KernelAbort (a kernel error of the reference run).
  JobFile(const std::string& path, services::ConsoleSink* console, bool extendedModels = false);
  ~JobFile();
  JobFile(const JobFile&) = delete;
  JobFile& operator=(const JobFile&) = delete;

  run::OpenedJob& job() { return *job_; }
  bool isToml() const { return !nativeFolder_.empty(); }

 private:
  std::string nativeFolder_;  // the temporary folder of a TOML job
  std::unique_ptr<run::OpenedJob> job_;
};

}  // namespace soilcal::jobs
