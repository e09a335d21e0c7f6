// What a calibration run leaves to be judged by: the records behind the JSON
// summary and the HTML report. A run that failed fills what it got to.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "input/test_kind.hpp"
#include "report/uncertainty_summary.hpp"

namespace soilcal::report {

// How a parameter is shown to a person: symbol, words and unit from the
// model's parameter table, angles in degrees where the slot holds a sine.
struct ParameterDisplay {
  std::string symbol;  // "φ", "E50ref", "s_u^A"
  std::string words;   // "friction angle"
  std::string unit;    // "°", "kPa", "" for a dimensionless value
  bool sine = false;   // the slot holds the sine of the angle shown
};

struct ParameterSummary {
  int slot = 0;
  std::string name;
  double lower = 0.0;
  double upper = 0.0;
  std::optional<double> start;        // value in the test files
  std::optional<double> best;         // calibrated value
  std::optional<double> sensitivity;  // relative sensitivity, largest 100; -1 after an abort
  // A job written from a TOML job file: name, bounds, start and best in the
  // job's own names and units (angles in degrees), the slot's value beside.
  bool jobUnits = false;
  std::string unit{};
  std::optional<double> slotBest{};
  std::optional<ParameterDisplay> display{};  // none: shown under the result file's key
  std::string startRule{};  // how the start value was read off the tests ("" when given)
  std::optional<ParameterUncertaintySummary> uncertainty = std::nullopt;
};

// Fit of one curve at one parameter vector.
struct CurveFitSummary {
  double error = 0.0;  // mean relative error of the curve, percent
  int nValid = 0;      // measured points inside the simulated range
  // Points that tell no parameter set from another: phase anchors, points
  // outside the simulated range or at 0.
  int nUninformative = 0;
  // The curve's term of the objective: its mean squared relative deviation
  // over the test's number of curves (the objective is their sum).
  double objective = 0.0;
};

struct CurveSummary {
  std::string file;              // measured curve file, bare name
  int column1 = 0, column2 = 0;  // quantity codes in the file's column order
  int nPoints = 0;               // measured points
  std::optional<CurveFitSummary> start, best;
  std::vector<int> segments;     // measured points per phase
  // A job written from a TOML job: the measured CSV file and the quantity,
  // "txa.csv (deviator stress)"; empty for a native job.
  std::string label{};
};

// How the report and the messages name a curve: its label, else its file.
inline const std::string& CurveName(const CurveSummary& c) { return c.label.empty() ? c.file : c.label; }

// A specimen's start state as the person gave it: "e0" or "n0", and both
// the void ratio and the porosity it stands for.
struct SpecimenStart {
  std::string given;  // "e0" or "n0"
  double voidRatio = 0.0;
  double porosity = 0.0;
};

struct TestSummary {
  std::string file;  // lab-test file, bare name
  std::vector<CurveSummary> curves;
  std::string header;            // header text of the test file
  std::string material;          // material name of the test file
  input::TestType type;        // recognised from the phases
  std::vector<int> loadSteps;    // per phase
  // The effective stresses the test starts from as the test file gives
  // them (xx, yy, zz, xy, yz, zx; tension positive, in the job's stress
  // unit); none before the file was read.
  std::optional<std::array<double, 6>> initialStress{};
  bool undrained = false;        // an undrained material set: pore pressures build up
  // A test taken from a laboratory file: the reader's choices, in words.
  std::vector<std::string> sources;
  // The start void ratio of this test's own specimen (a TOML test's e0 or
  // n0), in place of the material's; none when the test takes the job's.
  std::optional<SpecimenStart> ownStart{};
};

// The job's units as the lab-test files name them.
struct JobUnits {
  std::string force, length, time;  // "kN", "m", "day"
};

// Mean relative error and objective of one parameter vector. They rank
// points differently: the search keeps the point of least objective.
struct PointSummary {
  double meanError = 0.0;  // percent
  double objective = 0.0;
};

struct Warning {
  std::string kind;  // near_bound, insensitive, sign_change, short_coverage
  std::string text;
};

// Wall-clock and CPU time of one part of a run, in seconds.
struct TimePart {
  std::string name;  // "reading and reference run", "search", "writing", "uncertainty"
  double wall = 0.0;
  double cpu = 0.0;
};

// The whole run's times, from its start to its report; the parts, in the
// order the run first entered them, add up to the whole. (The result file's
// times end where its body is written, before the uncertainty step.)
struct RunTimes {
  double wall = 0.0;
  double cpu = 0.0;
  std::vector<TimePart> parts;
};

// "14.7 s (search 3.1 s, uncertainty 11.2 s, ...)" of the wall or CPU times.
std::string TimesText(const RunTimes& times, bool cpu);

// The critical-state line q = M p′ of triaxial compression a stress path is
// drawn with: from the friction angle where the model has one, else the
// model's own critical stress ratio M; calibrated when the search freed it,
// else the test files' value.
struct CriticalStateLine {
  double m = 0.0;
  std::optional<double> phiDegrees;  // none: M is the model's parameter
  bool calibrated = false;
};

struct Summary {
  std::string job;                   // optimisation file, bare name
  std::string programVersion;
  // Digest of every input the run read (run/input_digest.hpp); "" unknown.
  std::string inputDigest;
  std::string jobFolder;             // folder of the optimisation file, as the run used it
  std::optional<int> exitCode;       // none when a kernel error ended the run
  std::string exitName;              // "" for success
  std::string kernelError;           // message of the kernel error, if one ended the run
  // An abort (exit code 18) after the search had ended: what was finished
  // and what was not, in words; "" otherwise.
  std::string stoppedAfterSearch;
  std::optional<int> wallMs;         // as in the result file
  std::optional<double> cpuSeconds;
  // What the run read; none where it never got to.
  std::optional<int> modelNumber;
  std::string modelName;             // "Mohr-Coulomb"; "" when unknown
  std::optional<JobUnits> units;
  std::optional<int> intensity;
  std::optional<double> tolerance;
  // The search: "default" or "thorough" ("" before one was chosen), its
  // budget, what it used and why it stopped.
  std::string searchMode;
  std::optional<long> maxIterations;
  std::optional<long> maxEvaluations;
  long evaluations = 0;
  int iterations = 0;
  std::string stopReason;            // converged, iteration_limit, ...; "" when unknown
  // Thorough search: how often it went on from a better point its profiles
  // met, and the evaluations of those continuations (within `evaluations`).
  int continuations = 0;
  long continuationEvaluations = 0;
  std::vector<ParameterSummary> parameters;
  std::optional<PointSummary> start, best;
  std::vector<TestSummary> tests;
  std::vector<Warning> inputWarnings;  // given while the job was read and checked
  std::vector<Warning> warnings;       // every warning of the report, input ones first
  std::optional<UncertaintySummary> uncertainty = std::nullopt;  // none: step not run
  std::optional<RunTimes> runTimes = std::nullopt;  // the whole run, with its parts
  std::optional<CriticalStateLine> criticalState = std::nullopt;  // none: neither φ nor M
};

// Points of one curve in its file's column order.
struct CurveSeries {
  std::vector<double> x, y;
};

struct CurvePoints {
  CurveSeries measured, start, best;  // start: "_referenced", best: "_calculated"
};

// Per test, per curve, in the order of Summary::tests.
using JobCurves = std::vector<std::vector<CurvePoints>>;

// The warnings of a finished summary: calibrated values that fit worse than
// the start values, a default search that stopped after its first checks,
// parameters within 1 % of their range from a bound, relative sensitivities
// below 1, measured curves whose y values change sign, curves whose
// simulated points cover less than the measured range.
std::vector<Warning> CollectWarnings(const Summary& summary, const JobCurves& curves);

// A stored value as the parameter is shown: degrees for a sine slot (none
// when the stored value is no sine), else the value itself.
std::optional<double> ShownValue(const ParameterSummary& p, double stored);

// "φ (friction angle)", or the result file's key without a display entry.
std::string DisplayName(const ParameterSummary& p);
// A stored value with four significant digits in the unit shown:
// "39.52°", "25650 kPa", "0.35"; a sine slot that holds no sine shows the
// stored value with that remark.
std::string ValueText(const ParameterSummary& p, double stored);

// "Mohr-Coulomb", "user-defined model (usermod.dll)", or "" for a model
// number without a model.
std::string ModelName(int modelNumber, const std::string& materialName);

// The headline of a run: "calibrated", "calibrated, with warnings", or what
// ended it.
std::string OutcomeText(const Summary& summary);

}  // namespace soilcal::report
