#include "batch/batch_options.hpp"

#include <charconv>
#include <fstream>
#include <string_view>

namespace soilcal::batch {
namespace {

constexpr std::string_view kJobsFrom = "--jobs-from";
constexpr std::string_view kJobs = "--jobs=";

bool IsOption(std::string_view arg) { return arg.size() > 2 && arg.substr(0, 2) == "--"; }

// Walks the arguments: `path` for every job path, `option` for every other
// option; the value of "--jobs-from FILE" is neither.
template <typename OnPath, typename OnOption>
void Walk(int argc, char** argv, OnPath path, OnOption option) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == kJobsFrom) {
      option(arg, i + 1 < argc && argv[i + 1] != nullptr ? std::string_view(argv[i + 1])
                                                         : std::string_view());
      if (i + 1 < argc) ++i;
    } else if (IsOption(arg)) {
      option(arg, std::string_view());
    } else {
      path(arg);
    }
  }
}

std::string TrimmedLine(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.pop_back();
  }
  std::size_t start = 0;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
  return line.substr(start);
}

void ReadJobList(BatchOptions& options) {
  std::ifstream in(options.jobsFrom);
  if (!in) {
    options.problem = "the job list " + options.jobsFrom + " cannot be read";
    return;
  }
  std::string line;
  while (std::getline(in, line)) {
    line = TrimmedLine(line);
    if (line.empty() || line[0] == '#') continue;
    options.jobs.push_back(line);
  }
}

}  // namespace

bool IsBatchCommand(int argc, char** argv) {
  int paths = 0;
  bool list = false, info = false;
  Walk(
      argc, argv, [&](std::string_view) { ++paths; },
      [&](std::string_view arg, std::string_view) {
        if (arg == kJobsFrom || arg.substr(0, kJobsFrom.size() + 1) == "--jobs-from=") list = true;
        // Help, the version and the two conversions, whose two arguments
        // are no jobs.
        if (arg == "--help" || arg == "--version" || arg == "--write-native" ||
            arg == "--write-toml") {
          info = true;
        }
      });
  return !info && (paths >= 2 || list);
}

BatchOptions ParseBatchCommandLine(int argc, char** argv) {
  BatchOptions options;
  Walk(
      argc, argv, [&](std::string_view path) { options.jobs.emplace_back(path); },
      [&](std::string_view arg, std::string_view value) {
        if (arg == kJobsFrom) {
          options.jobsFrom = std::string(value);
          if (value.empty()) options.problem = "--jobs-from needs the path of a job list";
        } else if (arg.substr(0, kJobsFrom.size() + 1) == "--jobs-from=") {
          options.jobsFrom = std::string(arg.substr(kJobsFrom.size() + 1));
          if (options.jobsFrom.empty()) options.problem = "--jobs-from needs the path of a job list";
        } else if (arg.substr(0, kJobs.size()) == kJobs) {
          const std::string_view n = arg.substr(kJobs.size());
          int parsed = 0;
          const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), parsed);
          if (ec != std::errc() || end != n.data() + n.size() || parsed < 1) {
            options.problem = std::string(arg) + ": the number of jobs at once must be 1 or more";
          }
          options.parallel = parsed;
        } else if (arg == "--exit-status") {
          options.exitStatus = true;
        } else {
          options.childOptions.emplace_back(arg);
        }
      });
  if (!options.jobsFrom.empty() && options.problem.empty()) ReadJobList(options);
  if (options.problem.empty() && options.jobs.empty()) options.problem = "no job named";
  return options;
}

}  // namespace soilcal::batch
