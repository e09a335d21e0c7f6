// The two ways a run can fail outside one evaluation.
//
//  * Run errors 1..19 are problems of the calibration job. StopWithError
//    throws RunError; the run sequence catches it at the top, writes the
//    "General" section with the exit code and ends with process status 0.
//  * Kernel errors are problems inside a simulated test. In virtual-lab mode
//    KernelError shows the "ZIrez" message (one line on standard error) and
//    ends the run without writing a result section; the run sequence does so
//    when it catches KernelAbort.
//
// Nothing here may be thrown across the boundary of a loaded library.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace soilcal::services {

// Run error numbers (exit codes of the result file).
enum RunErrorCode : int {
  kSuccess = 0,
  kInternalErrorInvalidModel = 1,
  kOptimizationFileNotIndicated = 2,
  kCouldNotLoadZarirudeDll = 3,
  kZarirudeDllIsCorrupt = 4,
  kUnknownSearchIntensity = 5,
  kCouldNotAllocateMemory = 6,
  kInternalErrorPswarm = 7,
  kCouldNotInitializePoints = 8,
  kNoFeasiblePointsFound = 9,
  kCurveFileNotFound = 10,
  kInternalInconsistTestCurve = 11,
  kNoOptimizationInputFile = 12,
  kMatParamIndexOutsideRange = 13,
  kMatPrmUpperBoundAboveLower = 14,
  kNoInputVlcFile = 15,
  kErrorInVlcParameter = 16,
  kWrongMatParamInCurveFile = 17,
  kUserAbort = 18,
  kSmallOverlapCurves = 19,
};

struct RunError : std::exception {
  explicit RunError(int c, std::string d = {}) : code(c), detail(std::move(d)) {}
  const char* what() const noexcept override { return "run error"; }
  int code;
  // The cause in words for the standard-error line (file, line, text found);
  // empty when the code says it all.
  std::string detail;
};

// Raises run error `code`; never returns.
[[noreturn]] void StopWithError(int code);
// Raises run error `code` with the cause in words; never returns.
[[noreturn]] void StopWithError(int code, std::string detail);

// The two extra message texts a reporter fills before raising kernel error
// 247 (a user routine's abort, an allocation failure). They travel with the
// simulation that raised them, not in process-wide variables.
struct KernelMessageTexts {
  std::string main;    // up to 172 characters
  std::string second;  // shown on a second line when longer than 1 character
};

// A kernel error that ends the run. `caption` and `message` are what the
// message box shows.
struct KernelAbort : std::exception {
  KernelAbort(int n, std::string cap, std::string msg)
      : number(n), caption(std::move(cap)), message(std::move(msg)) {}
  const char* what() const noexcept override { return message.c_str(); }
  int number;
  std::string caption;
  std::string message;
  // Where the error arose ("test 2 (OEDO.VLT)"), filled in by the caller
  // that knows it; empty when unknown.
  std::string where;
};

// Raises kernel error n (see kernel_error.cpp for the full behaviour). In
// virtual-lab mode it throws KernelAbort; outside it records the error, and
// returns for warnings (0, 100..200) or throws KernelAbort for stops.
void KernelError(int n, const KernelMessageTexts& texts = {});
// Sets the texts and raises kernel error 247.
[[noreturn]] void KernelErrorWithTexts(const std::string& main, const std::string& second);

// Virtual-lab mode: 0 until the first lab-test simulation is set up, then 1.
void SetVirtualLabMode(int flag);
int VirtualLabMode();

// --- Message state of the run -------------------------------------------
// Start values: the 255-character status text blank, no last message, an
// empty project base name, stop-on-error 0, no warnings counted.
void InitMessageState();
std::string StatusText();
// Last message text (up to 1023 characters) kept by KernelErrorWithNote and
// CheckAssertion.
std::string LastMessageText();
// Path and base name of the calculation files; the kernel error record is
// this name followed by ".itp". Empty in a calibration run.
void SetProjectBaseName(const std::string& name);
// Folder that takes the ".itp" record while the project base name is empty
// (the run sets the project folder; "" is the current directory).
void SetRecordFolder(const std::string& folder);
// Path of the ".itp" record as KernelError writes it.
std::string KernelRecordPath();
// With 1, every positive kernel error number stops (also warnings).
void SetStopOnError(int flag);
// Counts a warning; MyStop reports the count.
void CountWarning();

// Message text of kernel error n ("Unknown error" for numbers without one).
std::string KernelMessage(int n, const KernelMessageTexts& texts = {});
// Outcome of MyStop: the number to act on and its message.
struct MyStopResult {
  int number = 0;
  std::string message;
};
// Looks up the message of n (writing "MyStop" n to the diagnostic channel).
MyStopResult MyStop(int n, const KernelMessageTexts& texts = {});
// Keeps `note` as the last message text, then raises kernel error n.
void KernelErrorWithNote(int n, const std::string& note);
// Does nothing when `condition` holds; otherwise writes "Assertion error: "
// and the message to the diagnostic channel, keeps the message with its
// blanks turned into '_' as the last message text and raises kernel error n
// (the run ends even when that number is only a warning).
void CheckAssertion(bool condition, int n, const std::string& message);
// Status 0: nothing. Otherwise reports the failed allocation at `position`
// and raises kernel error 32 ("Memory allocation error, position <p>").
void ReportAllocationError(int position, int status);
// Status 0: nothing. Otherwise reports the failed release and raises kernel
// error 37.
void ReportDeallocationError(int position, int status);

}  // namespace soilcal::services
