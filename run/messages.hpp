// The standard-error lines of the run: what ended it, in words. The result
// file and standard output stay as the host expects; these lines are for the
// person who started the run.
#pragma once

#include <string>

#include "services/errors.hpp"

namespace soilcal::run {

// What a run error means when its raiser gave no cause of its own.
std::string RunErrorCause(int code);
// "<cause> (exit code N, NAME)": a run error in one line.
std::string RunErrorLine(const services::RunError& error);
// "soilcal: <cause> (exit code N, NAME)" for a run error.
void ReportRunError(const services::RunError& error);
// "the run ended with a kernel error (number N): <message> in <test>".
std::string KernelErrorLine(const services::KernelAbort& abort);
// A kernel error: the message-box line (when it has a caption), then a line
// naming the error and the test it arose in. No kernel error ends silently.
void ReportKernelError(const services::KernelAbort& abort);
// The search ended early by the abort file or an interrupt (exit code 18).
// `searchFinished`: the stop came after the search had ended (while its
// curves were written or in the uncertainty step), so the result is the
// search's own and only the uncertainty step is missing.
void ReportUserAbort(bool interrupted, bool searchFinished = false);

// Process status of a run that succeeded but could not write all of its
// outputs (EX_IOERR of sysexits.h).
inline constexpr int kOutputNotWrittenStatus = 74;

// What ended the run, for --exit-status.
struct Outcome {
  int exitCode = 0;          // the result file's Exit Code (0 success)
  bool kernelError = false;  // ended by an error inside a simulated test
  bool outputFailed = false; // an output could not be written (or cleared)
};
// Process status under --exit-status: 0 success, the exit code of a run
// error, 1 for a kernel error; 74 for a run that succeeded but could not
// write an output.
int ProcessStatus(const Outcome& outcome);

}  // namespace soilcal::run
