// The outputs of a job, the check that none replaces an input, and the
// removal of what the previous run left.
#include "run/job_outputs.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "optimisation/curve_csv.hpp"
#include "optimisation/simulated_curves.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "run/result_file.hpp"
#include "services/errors.hpp"
#include "services/folder_lock.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

// A file as the file system knows it: its folder and its name ignoring ASCII
// case (the program's look-up ignores case), and the file itself when it
// exists (a link to a file is that file).
struct FileIdentity {
  bool folderFound = false;
  dev_t folderDevice = 0;
  ino_t folderInode = 0;
  std::string name;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

FileIdentity IdentityOf(const std::string& path) {
  FileIdentity id;
  const std::string resolved = services::ResolvePath(path);
  const std::string folder = services::FolderOf(resolved);
  struct stat st {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0) {
    id.folderFound = true;
    id.folderDevice = st.st_dev;
    id.folderInode = st.st_ino;
  }
  id.name = AsciiLower(services::BareName(resolved));
  if (::stat(resolved.c_str(), &st) == 0) {
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
  }
  return id;
}

bool Same(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists && a.device == b.device && a.inode == b.inode) return true;
  return a.folderFound && b.folderFound && a.folderDevice == b.folderDevice &&
         a.folderInode == b.folderInode && !a.name.empty() && a.name == b.name;
}

// An input of the job with the run error its loss would be.
struct JobInput {
  std::string path;
  std::string what;   // "the curve file Q_EPS.TXT"
  std::string where;  // "OPTIM.TXT line 10: ", or "" for the optimisation file
  int code = 0;
  FileIdentity id;
};

std::vector<JobInput> InputsOf(const input::Job& job) {
  std::vector<JobInput> inputs;
  inputs.push_back({job.argument, "the optimisation file " + services::BareName(job.argument), "",
                    services::kNoOptimizationInputFile, {}});
  const std::string optim = services::BareName(job.argument);
  auto where = [&](const input::ListedName& listed) {
    return listed.line > 0 ? optim + " line " + std::to_string(listed.line) + ": " : std::string();
  };
  for (const input::LabTest& test : job.tests) {
    inputs.push_back({test.testFile, "the lab-test file " + services::BareName(test.testFile),
                      where(test.listed), services::kNoInputVlcFile, {}});
    for (std::size_t c = 0; c < test.curveFiles.size(); ++c) {
      const input::ListedName listed =
          c < test.listedCurves.size() ? test.listedCurves[c] : input::ListedName{};
      const std::string& curve = test.curveFiles[c];
      inputs.push_back({curve, "the curve file " + services::BareName(curve), where(listed),
                        services::kCurveFileNotFound, {}});
    }
  }
  for (JobInput& in : inputs) in.id = IdentityOf(in.path);
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
  return Same(IdentityOf(a), IdentityOf(b));
}

void CheckNoOutputReplacesAnInput(const input::Job& job, const std::vector<JobOutput>& outputs) {
  const std::vector<JobInput> inputs = InputsOf(job);
  for (const JobOutput& output : outputs) {
    const FileIdentity id = IdentityOf(output.path);
    for (const JobInput& in : inputs) {
      if (!Same(id, in.id)) continue;
      services::StopWithError(
          in.code, in.where + in.what + " would be replaced by " + output.path + ", " +
                       output.what +
                       " of this run; the run stops before it writes anything and "
                       "gives its result on standard output only: rename the input file" +
                       (in.where.empty() ? std::string() : " and its line"));
    }
  }
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
