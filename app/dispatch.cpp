#include "app/dispatch.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_command.hpp"
#include "app/batch_options.hpp"
#include "jobfile/commands.hpp"
#include "jobfile/toml_job.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "run/result_file.hpp"
#include "run/run_sequence.hpp"
#include "services/clock.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::app {
namespace {

// A TOML job that fails its checks: the cause on standard error and a result
// file with its exit code in the job's output folder; nothing native.
int RefuseTomlJob(const services::RunError& error, const std::string& tomlPath,
                  bool exitStatus) {
  run::RunClock start{services::WallClockMs(), services::CpuTime()};
  run::ReportRunError(error);
  services::RunServices services;
  services::ServicesBinding binding(services);
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
  return exitStatus ? error.code : 0;
}

// soilcal [OPTIONS] JOB.toml: the run sequence on the native job written
// into JOB.out/, with the same options.
int RunTomlJob(int argc, char** argv, int pathIndex) {
  const std::string tomlPath = argv[pathIndex];
  const run::RunOptions options = run::ParseCommandLine(argc, argv);
  std::string optimisationFile;
  try {
    optimisationFile =
        jobfile::WriteNativeFromToml(tomlPath, jobfile::NativeFolderOf(tomlPath));
  } catch (const services::RunError& error) {
    return RefuseTomlJob(error, tomlPath, options.exitStatus);
  }
  std::vector<char*> args(argv, argv + pathIndex);
  args.push_back(optimisationFile.data());
  args.push_back(nullptr);
  return run::RunSequence(static_cast<int>(args.size()) - 1, args.data());
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
  if (IsBatchCommand(argc, argv)) return RunBatchCommand(argc, argv);
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
        return Convert([&] { jobfile::WriteNativeFromToml(second, first); },
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
