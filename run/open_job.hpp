// A job opened without running it, for a front end that works between runs
// (the Python module): read as the run reads it, with its reference run
// simulated in memory (no file is written) so that every evaluation starts
// from material set 1 as the search does. It answers what the run would
// compute: the free parameters, the objective of a vector, the curves at a
// vector.
//
// Values are in the job's own units: for a job written from a TOML job file
// the names, degrees and moduli of that file, otherwise the slot values and
// the result file's names.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "input/records.hpp"
#include "models/family.hpp"
#include "optimisation/objective.hpp"
#include "services/console.hpp"
#include "services/library.hpp"
#include "services/run_services.hpp"

namespace soilcal::run {

struct FreeParameter {
  std::string name;     // as the result file or the TOML job names it
  std::string unit;     // "" for a native job and dimensionless values
  int slot = 0;
  double lower = 0.0, upper = 0.0;
  double start = 0.0;   // as the test files give it
};

// Status of an evaluation that a kernel error ended: the run would end there
// with an empty result file.
inline constexpr int kStatusKernelError = 4;

struct PointEvaluation {
  double objective = 0.0;  // minimised by the search
  double meanError = 0.0;  // mean relative error, percent
  int status = 0;          // 0 usable, 1 not admissible, 2 and 3 a failed test run, 4 kernel error
  std::string reason;      // why a point is not usable, in words
};

// One measured curve and the simulated path of its test. Record order: x is
// the abscissa the comparison interpolates at.
struct CurveAt {
  std::string file;                 // measured curve file, bare name
  std::string xName, yName;         // a TOML job's quantity names, a native job's in words
  int xCode = 0, yCode = 0;         // native quantity codes
  std::vector<double> measuredX, measuredY;
  std::vector<int> measuredPhase;   // 1-based phase of each measured point
  std::vector<double> simulatedX, simulatedY;  // every recorded point, unshifted
  std::vector<int> simulatedPhase;
  double error = 0.0;               // mean relative error of the curve, percent
  int nValid = 0;                   // measured points inside the simulated range
};

struct TestAt {
  std::string file;                 // lab-test file, bare name
  int status = 0;                   // of the test run (0 every step converged, 4 kernel error)
  int nRecorded = 0;
  std::vector<CurveAt> curves;
};

struct CurvesAt {
  std::vector<TestAt> tests;
  double meanError = 0.0;
  double objective = 0.0;
  bool usable = true;               // every test ran and every curve overlapped
  // What ended the simulation, if a kernel error did: the tests then hold
  // their measured curves only, with status kStatusKernelError.
  std::string kernelError;
};

class OpenedJob {
 public:
  // Reads the optimisation file `path`; run errors leave as
  // services::RunError. A kernel error of the reference run (which would end
  // a calibration with an empty result file) is kept in kernelError(), and
  // evaluations start from the job's material as read. Console lines (the
  // "Header line" echo, warnings) go to `console` (nullptr: stdout and
  // stderr).
  // `extendedModels` lets the Sekiguchi-Ohta models run, as the option
  // --extended-models or the flag file "extended_models" in the job folder.
  OpenedJob(const std::string& path, services::ConsoleSink* console, bool extendedModels = false);
  OpenedJob(const OpenedJob&) = delete;
  OpenedJob& operator=(const OpenedJob&) = delete;

  const std::vector<FreeParameter>& parameters() const { return parameters_; }
  const input::Job& job() const { return job_; }
  // The folder of the native job (with its separator).
  const std::string& folder() const { return job_.projectFolder; }
  // What ended the reference run, if a kernel error did ("" otherwise).
  const std::string& kernelError() const { return kernelError_; }

  // The objective of `x` (job units) as the search computes it. Throws
  // std::invalid_argument when x has not one value per free parameter.
  PointEvaluation Evaluate(std::span<const double> x);
  // Measured and simulated curves at `x` (job units) from the start set, as
  // the final run simulates them; without x, the test files' own
  // parameters, as the reference run does.
  CurvesAt Curves(std::optional<std::span<const double>> x);

 private:
  std::vector<double> Stored(std::span<const double> x) const;

  services::RunServices services_;
  input::Job job_;
  services::SharedLibrary capLibrary_;
  models::ModelResources resources_;
  models::MaterialSet startSet_;
  std::vector<FreeParameter> parameters_;
  std::string kernelError_;
  std::unique_ptr<optimisation::JobObjective> objective_;
  std::mutex mutex_;  // one evaluation at a time on the objective's context
};

}  // namespace soilcal::run
