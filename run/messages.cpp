#include "run/messages.hpp"

#include <algorithm>

#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

std::string RunErrorCause(int code) {
  switch (code) {
    case 1: return "invalid material model";
    case 2: return "no optimisation input file given (usage: soilcal [OPTIONS] PATH/OPTIM.TXT)";
    case 3: return "the cap library zarirude.dll (libzarirude.so) of the Hardening Soil models "
                   "cannot be loaded";
    case 4: return "the cap library zarirude.dll has no entry point HS_CapItr";
    case 5: return "the search intensity is not 1, 2 or 3";
    case 6: return "not enough memory for the job";
    case 7: return "internal error of the search";
    case 8: return "no starting point could be simulated";
    case 9: return "no feasible point found";
    case 10: return "a curve file was not found";
    case 11: return "a curve file does not fit its test";
    case 12: return "the optimisation input file is missing or cannot be read";
    case 13: return "a parameter index lies outside 1..255";
    case 14: return "an upper bound lies below its lower bound";
    case 15: return "a lab-test file was not found";
    case 16: return "a lab-test file holds a parameter error";
    case 17: return "a curve file names an unknown quantity code";
    case 18: return "stopped by the user";
    case 19: return "the simulated curves cover too little of the measured ones";
    default: return "run error";
  }
}

std::string RunErrorLine(const services::RunError& error) {
  const std::string cause = error.detail.empty() ? RunErrorCause(error.code) : error.detail;
  return cause + " (exit code " + std::to_string(error.code) + ", " + ExitCodeName(error.code) +
         ")";
}

void ReportRunError(const services::RunError& error) { services::Notice(RunErrorLine(error)); }

namespace {

// A two-line message box text on one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// The notice names the message only when no message box showed it.
std::string KernelErrorText(const services::KernelAbort& abort, bool withMessage) {
  std::string line = "the run ended with a kernel error";
  if (abort.number != 0) line += " (number " + std::to_string(abort.number) + ")";
  if (withMessage && !abort.message.empty()) line += ": " + OneLine(abort.message);
  if (!abort.where.empty()) line += " in " + abort.where;
  return line;
}

}  // namespace

std::string KernelErrorLine(const services::KernelAbort& abort) {
  services::KernelAbort trimmed = abort;
  const std::string text = services::TrimRight(OneLine(abort.message));
  trimmed.message = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  return KernelErrorText(trimmed, true);
}

void ReportKernelError(const services::KernelAbort& abort) {
  if (!abort.caption.empty()) services::ShowMessageBox(abort.caption, abort.message);
  services::Notice(KernelErrorText(abort, abort.caption.empty()) + "; the result file stays empty");
}

void ReportUserAbort(bool interrupted, bool searchFinished) {
  const char* by = interrupted ? "interrupted" : "stopped by the abort file AbortCalc";
  services::Notice(std::string(by) +
                   (searchFinished
                        ? " after the search had finished: the result file and the curves hold "
                          "the calibrated values; the uncertainty step (its profile intervals) "
                          "was not finished (exit code 18, USER_ABORT)"
                        : ": the result holds the best point found so far (exit code 18, "
                          "USER_ABORT)"));
}

int ProcessStatus(const Outcome& outcome) {
  if (outcome.kernelError) return 1;
  if (outcome.exitCode == 0 && outcome.outputFailed) return kOutputNotWrittenStatus;
  return outcome.exitCode;
}

}  // namespace soilcal::run
