#include "app/dispatch.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jobfile/commands.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "run/job_folder.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "run/result_file.hpp"
#include "run/run_sequence.hpp"
#include "services/clock.hpp"
#include "services/errors.hpp"
#include "services/folder_lock.hpp"
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

// A TOML job that does not run: the cause on standard error and the
// "General" section with its exit code in JOB.out/Optimization_result.txt,
// or on standard output where that folder cannot be had or another run
// holds it (whose files stay untouched). Nothing native is written.
int RefuseTomlJob(const services::RunError& error, const std::string& tomlPath,
                  services::FolderLock& lock, bool exitStatus) {
  run::RunClock start{services::WallClockMs(), services::CpuTime()};
  run::ReportRunError(error);
  services::RunServices services;
  services::ServicesBinding binding(services);
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  if (!lock.held() && !Busy(lock) && MakeFolder(folder, services::FolderOf(tomlPath))) {
    lock = TakeFolder(folder, tomlPath);
  }
  run::ResultFile result;
  if (Busy(lock) || !result.Open(folder + "Optimization_result.txt")) result.Attach(stdout);
  result.WriteGeneralSection(error.code, start);
  result.Close();
  lock.Release();
  return exitStatus ? error.code : 0;
}

// soilcal [OPTIONS] JOB.toml: the job is checked, the folder JOB.out/ taken,
// the native job written into it, and the run sequence runs it there with
// the same options, holding the folder until its end. A second run of the
// same job while the first works stops before it writes anything.
int RunTomlJob(int argc, char** argv, int pathIndex) {
  const std::string tomlPath = argv[pathIndex];
  const run::RunOptions options = run::ParseCommandLine(argc, argv);
  const std::string folder = jobfile::NativeFolderOf(tomlPath);
  services::FolderLock lock;
  std::string optimisationFile;
  try {
    const jobfile::NativeJob job = jobfile::ReadTomlJob(tomlPath);
    if (MakeFolder(folder, services::FolderOf(tomlPath))) lock = TakeFolder(folder, tomlPath);
    if (Busy(lock)) throw run::FolderBusyError(folder, lock);
    jobfile::WriteNativeJob(job, folder);
    optimisationFile = folder + jobfile::kOptimisationFileName;
  } catch (const services::RunError& error) {
    return RefuseTomlJob(error, tomlPath, lock, options.exitStatus);
  }
  std::vector<char*> args(argv, argv + pathIndex);
  args.push_back(optimisationFile.data());
  args.push_back(nullptr);
  return run::RunSequence(static_cast<int>(args.size()) - 1, args.data(), std::move(lock));
}

// soilcal --write-native DIR JOB.toml: the native job of a TOML job, written
// while the folder's lock is held, so never into a folder where a run works.
void WriteNative(const std::string& tomlPath, const std::string& folder) {
  const jobfile::NativeJob job = jobfile::ReadTomlJob(tomlPath);
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  services::FolderLock lock;
  if (MakeFolder(dir, "")) lock = TakeFolder(dir, tomlPath);
  if (Busy(lock)) throw run::FolderBusyError(dir, lock);
  jobfile::WriteNativeJob(job, dir);
}

// The two conversions end with status 0, or the exit code of what stopped
// them; a line on standard error says which.
template <typename Write>
int Convert(Write write, const std::string& done) {
  try {
    write();
  } catch (const services::RunError& error) {
    run::ReportRunError(error);
    return error.code;
  }
  std::printf("%s\n", done.c_str());
  return 0;
}

}  // namespace

int Dispatch(int argc, char** argv) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--write-native" || arg == "--write-toml") {
      if (i + 2 >= argc) {
        std::fprintf(stderr, "soilcal: %s needs two arguments (see soilcal --help)\n", argv[i]);
        return 2;
      }
      const std::string first = argv[i + 1];
      const std::string second = argv[i + 2];
      if (arg == "--write-native") {
        return Convert([&] { WriteNative(second, first); },
                       "wrote the native job of " + second + " into " + first);
      }
      return Convert([&] { jobfile::WriteTomlFromNative(second, first); },
                     "wrote the TOML job " + first + " from " + second);
    }
    if (arg.size() > 2 && arg.substr(0, 2) == "--") continue;
    if (jobfile::IsTomlJob(std::string(arg))) return RunTomlJob(argc, argv, i);
    break;
  }
  return run::RunSequence(argc, argv);
}

}  // namespace soilcal::app
