#include "jobs/new_command.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "jobfile/native_job.hpp"
#include "jobfile/new_job.hpp"
#include "run/messages.hpp"
#include "services/errors.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::jobs {
namespace {

constexpr int kUsage = 2;

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "soilcal new: %s\n"
               "usage: soilcal new MODEL[,MODEL...] FILE... [-o JOB.toml] [--force] "
               "[--specimen LOCATION:DEPTH:REF]... [--n160 N | --void-ratio E --emin E --emax E]\n",
               problem.c_str());
  return kUsage;
}

std::vector<std::string> SplitModels(const std::string& list) {
  std::vector<std::string> models;
  std::size_t from = 0;
  while (from <= list.size()) {
    const std::size_t comma = list.find(',', from);
    const std::string name = list.substr(from, comma == std::string::npos ? comma : comma - from);
    if (!name.empty()) models.push_back(name);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return models;
}

}  // namespace

bool IsNewCommand(int argc, char** argv) {
  return argc >= 2 && argv[1] != nullptr && std::string_view(argv[1]) == "new";
}

int RunNewCommand(int argc, char** argv) {
  jobfile::NewJobRequest request;
  bool force = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--force") {
      force = true;
    } else if (arg == "-o" || arg == "--specimen") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      (arg == "-o" ? request.output : request.specimens.emplace_back()) = argv[++i];
    } else if (arg == "--n160" || arg == "--void-ratio" || arg == "--emin" || arg == "--emax") {
      // The state of a sand for UBC3D's correlations.
      if (i + 1 >= argc) return Usage(arg + " needs a number");
      const std::string text = argv[++i];
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !(v >= 0.0)) {
        return Usage(arg + " needs a number of 0 or more, not \"" + text + "\"");
      }
      derive::SandState& s = request.sand;
      (arg == "--n160" ? s.n160 : arg == "--void-ratio" ? s.voidRatio : arg == "--emin" ? s.emin : s.emax) = v;
    } else if (arg.starts_with("-")) {
      return Usage("unknown option " + arg);
    } else if (request.models.empty()) {
      request.models = SplitModels(arg);
    } else {
      request.files.push_back(arg);
    }
  }
  if (request.models.empty()) return Usage("give the model, for example hardening_soil");
  if (request.files.empty()) return Usage("give the files of the measured tests");
  if (request.output.empty()) {
    request.output = request.models.size() > 1 ? "comparison.toml" : request.models[0] + ".toml";
  }
  if (services::FileExists(request.output) && !force) {
    std::fprintf(stderr,
                 "soilcal new: %s exists already; give --force to replace it, or -o with "
                 "another name\n",
                 request.output.c_str());
    return kUsage;
  }
  try {
    const jobfile::NewJob job = jobfile::MakeNewJob(request);
    std::fputs(jobfile::DerivationTable(job.derivations).c_str(), stderr);
    if (const services::WriteStatus w =
            services::WriteFileAtomically(services::ResolvePath(request.output), job.toml);
        !w) {
      std::fprintf(stderr, "soilcal new: %s cannot be written: %s\n", request.output.c_str(),
                   w.cause.c_str());
      return jobfile::kJobFileUnreadable;
    }
  } catch (const services::RunError& error) {
    run::ReportRunError(error);
    return error.code;
  }
  std::printf("%s\n", request.output.c_str());
  return 0;
}

}  // namespace soilcal::jobs
