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
  explicit RunError(int c) : code(c) {}
  const char* what() const noexcept override { return "run error"; }
  int code;
};

// Raises run error `code`; never returns.
[[noreturn]] void StopWithError(int code);

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

}  // namespace soilcal::services
