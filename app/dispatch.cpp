#include "app/dispatch.hpp"

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/batch_command.hpp"
#include "batch/batch_job.hpp"
#include "batch/batch_options.hpp"
#include "compare/compare_command.hpp"
#include "jobs/job_preparation.hpp"
#include "jobs/front_end.hpp"
#include "jobs/new_command.hpp"
#include "jobfile/commands.hpp"
#include "jobfile/model_list.hpp"
#include "jobfile/toml_job.hpp"
#include "labfiles/inspect_command.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "run/run_sequence.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"
#include "web/serve_command.hpp"

namespace soilcal::app {

using batch::IsBatchCommand;
using batch::RunBatchCommand;
using compare::IsCompareCommand;
using compare::RunCompareCommand;
using compare::RunModelComparison;
using jobs::ConsoleLog;
using jobs::Door;
using jobs::ExitStatusOf;
using jobs::IsNewCommand;
using jobs::kConsoleLogName;
using jobs::PrepareRun;
using jobs::PreparedRun;
using jobs::RunNewCommand;
using jobs::WriteNativeJobFile;

namespace {

// soilcal [OPTIONS] JOB.toml: the job is checked, the folder JOB.out/ taken,
// the native job written into it, and the run sequence runs it there with
// the same options, holding the folder until its end. A second run of the
// same job while the first works stops before it writes anything. The
// host's standard-output lines go to JOB.out/soilcal_console.log, and the
// process status is the outcome.
int RunTomlJob(int argc, char** argv, int pathIndex) {
  if (jobfile::HasModelList(argv[pathIndex])) return RunModelComparison(argc, argv, pathIndex);
  const run::RunOptions options = run::ParseCommandLine(argc, argv);
  PreparedRun prepared = PrepareRun(argv[pathIndex], nullptr);
  if (prepared.refused) {
    return ExitStatusOf(Door::kFrontEnd, options.exitStatus, prepared.refused->code);
  }
  std::string& optimisationFile = prepared.optimisationFile;
  ConsoleLog log(services::FolderOf(optimisationFile) + kConsoleLogName, options.verbose);
  std::vector<char*> args(argv, argv + pathIndex);
  args.push_back(optimisationFile.data());
  args.push_back(nullptr);
  const int status = run::RunSequenceForStatus(static_cast<int>(args.size()) - 1, args.data(),
                                               std::move(prepared.lock), &log);
  return ExitStatusOf(Door::kFrontEnd, options.exitStatus, status);
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
  if (IsNewCommand(argc, argv)) return RunNewCommand(argc, argv);
  if (web::IsServeCommand(argc, argv)) return web::RunServeCommand(argc, argv);
  if (IsCompareCommand(argc, argv)) return RunCompareCommand(argc, argv);
  if (labfiles::IsInspectCommand(argc, argv)) return labfiles::RunInspectCommand(argc, argv);
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
      if (arg == "--write-native" && jobfile::HasModelList(second)) {
        return Convert([&] { jobfile::WriteNativeModels(second, first); },
                       "wrote the native job of each model of " + second + " into " + first);
      }
      if (arg == "--write-native") {
        return Convert([&] { WriteNativeJobFile(second, first); },
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
