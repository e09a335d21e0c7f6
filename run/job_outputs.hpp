// Every file a run of a job writes into the job's folder, in one list. The
// check that no output replaces an input and the removal of the previous
// run's outputs both read this list, so a new kind of output (the CSV
// curves of a TOML job, say) is added here once and is then protected and
// cleared like the others.
#pragma once

#include <string>
#include <vector>

#include "input/records.hpp"

namespace soilcal::run {

enum class OutputKind {
  kResult,           // Optimization_result.txt
  kSummary,          // calibration_summary.json
  kReport,           // calibration_report.html
  kDiagnosticLog,    // file2 (written with the flag file do_opti)
  kKernelRecord,     // .itp (a kernel error outside the virtual lab)
  kLock,             // the folder's lock file
  kReferencedCurve,  // <curve file>_referenced
  kCalculatedCurve,  // <curve file>_calculated
  kCurveCsv,         // <test>_<curve>_referenced.csv / _calculated.csv of a TOML job
};

struct JobOutput {
  OutputKind kind;
  std::string path;  // program path: folder and name
  std::string what;  // in words, for messages ("the calibration summary")
};

// The outputs of `job` run from `folder` (the optimisation file's folder,
// "" for the current one), from what the optimisation file listed so far.
std::vector<JobOutput> JobOutputs(const input::Job& job, const std::string& folder);

// Outputs a new run removes before it writes anything, so that a run that
// is killed leaves nothing that looks finished: the summary, the report and
// the simulated curves. (The result file is emptied when it is opened.)
bool RemovedAtStart(OutputKind kind);

// True when the two program paths name one file: the same folder and the
// same name ignoring case (the look-up ignores case), or the same file
// through a link.
bool SameFile(const std::string& a, const std::string& b);

// Raises a run error when an output would replace one of the job's input
// files (the optimisation file 12, a lab-test file 15, a curve file 10);
// its text names both files and the line that lists the input.
void CheckNoOutputReplacesAnInput(const input::Job& job, const std::vector<JobOutput>& outputs);

// Removes what an earlier run left in `folder` (a TOML job's JOB.out/) when
// the job to run there now fails its check, so that no summary, report or
// simulated curve of that earlier run stands beside the refusal: the summary,
// the report, every "_referenced" / "_calculated" curve file and the CSV
// curves the earlier run's job language names. A file whose name appears in
// `jobText` (the job file that failed) is kept: the job may name it as a
// measured file, and a measurement is never removed.
void RemoveEarlierOutputs(const std::string& folder, const std::string& jobText);

// Removes the outputs RemovedAtStart() names; a file that cannot be removed
// is said on standard error and counts as an output failure.
void RemoveStaleOutputs(const std::vector<JobOutput>& outputs);

}  // namespace soilcal::run
