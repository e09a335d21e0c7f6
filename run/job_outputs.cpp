// The outputs of a job, the check that none replaces an input, and the
// removal of what the previous run left.
#include "run/job_outputs.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include <nlohmann/json.hpp>

#include "optimisation/curve_csv.hpp"
#include "optimisation/simulated_curves.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "run/result_file.hpp"
#include "services/errors.hpp"
#include "services/file_identity.hpp"
#include "services/folder_lock.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::run {
namespace {

// An input of the job with the run error its loss would be.
struct JobInput {
  std::string path;
  std::string what;   // "the curve file Q_EPS.TXT"
  std::string where;  // "OPTIM.TXT line 10: ", or "" for the optimisation file
  int code = 0;
};

std::vector<JobInput> InputsOf(const input::Job& job) {
  std::vector<JobInput> inputs;
  inputs.push_back({job.argument, "the optimisation file " + services::BareName(job.argument), "",
                    services::kNoOptimizationInputFile});
  const std::string optim = services::BareName(job.argument);
  auto where = [&](const input::ListedName& listed) {
    return listed.line > 0 ? optim + " line " + std::to_string(listed.line) + ": " : std::string();
  };
  for (const input::LabTest& test : job.tests) {
    inputs.push_back({test.testFile, "the lab-test file " + services::BareName(test.testFile),
                      where(test.listed), services::kNoInputVlcFile});
    for (std::size_t c = 0; c < test.curveFiles.size(); ++c) {
      const input::ListedName listed =
          c < test.listedCurves.size() ? test.listedCurves[c] : input::ListedName{};
      const std::string& curve = test.curveFiles[c];
      inputs.push_back({curve, "the curve file " + services::BareName(curve), where(listed),
                        services::kCurveFileNotFound});
    }
  }
  return inputs;
}

constexpr const char* kReferenced = "_referenced";
constexpr const char* kCalculated = "_calculated";

}  // namespace

std::vector<JobOutput> JobOutputs(const input::Job& job, const std::string& folder) {
  std::vector<JobOutput> outputs = {
      {OutputKind::kResult, folder + kResultFileName, "the result file"},
      {OutputKind::kSummary, folder + report::kSummaryFileName, "the calibration summary"},
      {OutputKind::kReport, folder + report::kReportFileName, "the calibration report"},
      {OutputKind::kDiagnosticLog, folder + "file2", "the diagnostic log"},
      {OutputKind::kKernelRecord, folder + ".itp", "the kernel error record"},
      {OutputKind::kLock, folder + services::kLockFileName, "the folder's lock file"},
  };
  for (const input::LabTest& test : job.tests) {
    for (const std::string& curve : test.curveFiles) {
      const std::string of = services::BareName(curve);
      outputs.push_back({OutputKind::kReferencedCurve,
                         optimisation::SimulatedCurveName(curve, kReferenced),
                         "the simulated curve of " + of + " at the test files' values"});
      outputs.push_back({OutputKind::kCalculatedCurve,
                         optimisation::SimulatedCurveName(curve, kCalculated),
                         "the simulated curve of " + of + " at the calibrated values"});
    }
  }
  if (job.language) {
    for (const auto& testCurves : job.language->curves) {
      for (const input::CurveLanguage& curve : testCurves) {
        for (const char* suffix : {kReferenced, kCalculated}) {
          outputs.push_back({OutputKind::kCurveCsv,
                             optimisation::CurveCsvName(job, curve, suffix),
                             "the simulated curve " + curve.output + " as CSV"});
        }
      }
    }
  }
  return outputs;
}

bool RemovedAtStart(OutputKind kind) {
  switch (kind) {
    case OutputKind::kSummary:
    case OutputKind::kReport:
    case OutputKind::kReferencedCurve:
    case OutputKind::kCalculatedCurve:
    case OutputKind::kCurveCsv:
      return true;
    default:
      return false;
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  return services::SameIdentity(services::IdentityOf(a), services::IdentityOf(b));
}

void CheckNoOutputReplacesAnInput(const input::Job& job, const std::vector<JobOutput>& outputs) {
  const std::vector<JobInput> inputs = InputsOf(job);
  std::vector<std::string> inputPaths, outputPaths;
  for (const JobInput& in : inputs) inputPaths.push_back(in.path);
  for (const JobOutput& output : outputs) outputPaths.push_back(output.path);
  const auto clash = services::FindOutputOntoInput(outputPaths, inputPaths);
  if (!clash) return;
  const JobInput& in = inputs[clash->input];
  const JobOutput& output = outputs[clash->output];
  services::StopWithError(
      in.code, in.where + in.what + " would be replaced by " + output.path + ", " + output.what +
                   " of this run; the run stops before it writes anything and "
                   "gives its result on standard output only: rename the input file" +
                   (in.where.empty() ? std::string() : " and its line"));
}

void RemoveEarlierOutputs(const std::string& folder, const std::string& jobText) {
  namespace fs = std::filesystem;
  const fs::path dir(services::ResolvePath(folder.empty() ? "." : folder));
  std::vector<JobOutput> outputs = {
      {OutputKind::kSummary, folder + report::kSummaryFileName, "the calibration summary"},
      {OutputKind::kReport, folder + report::kReportFileName, "the calibration report"},
  };
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (const char* suffix : {kReferenced, kCalculated}) {
      const std::string_view s(suffix);
      if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
        outputs.push_back({OutputKind::kCalculatedCurve, folder + name, "a simulated curve"});
      }
    }
  }
  // The CSV curves by the names the earlier job gave them.
  std::string text;
  if (services::ReadRegularFile((dir / input::kJobLanguageFile).string(), text)) {
    const nlohmann::json language = nlohmann::json::parse(text, nullptr, false);
    if (language.is_object() && language.contains("tests") && language["tests"].is_array()) {
      for (const nlohmann::json& test : language["tests"]) {
        if (!test.is_object() || !test.contains("curves") || !test["curves"].is_array()) continue;
        for (const nlohmann::json& curve : test["curves"]) {
          if (!curve.is_object() || !curve.contains("output") || !curve["output"].is_string()) {
            continue;
          }
          const std::string output = curve["output"].get<std::string>();
          if (output.find_first_of("/\\") != std::string::npos) continue;
          for (const char* suffix : {kReferenced, kCalculated}) {
            outputs.push_back({OutputKind::kCurveCsv, folder + output + suffix + ".csv",
                               "a simulated curve as CSV"});
          }
        }
      }
    }
  }
  std::erase_if(outputs, [&](const JobOutput& output) {
    return jobText.find(services::BareName(output.path)) != std::string::npos;
  });
  RemoveStaleOutputs(outputs);
}

void RemoveStaleOutputs(const std::vector<JobOutput>& outputs) {
  std::string left;  // the files that stay, named on one line
  int firstError = 0;
  for (const JobOutput& output : outputs) {
    if (!RemovedAtStart(output.kind)) continue;
    const std::string path = services::ResolvePath(output.path);
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) continue;
    if (firstError == 0) firstError = errno;
    left += (left.empty() ? "" : ", ") + path;
  }
  if (left.empty()) return;
  services::ReportFileFailure("cannot remove the outputs of an earlier run (" + left +
                              "): " + services::ErrorText(firstError) +
                              "; they stay until this run replaces them");
}

}  // namespace soilcal::run
