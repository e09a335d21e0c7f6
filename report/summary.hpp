// What a calibration run leaves to be judged by: the records behind the JSON
// summary and the HTML report. A run that failed fills what it got to.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/uncertainty_summary.hpp"

namespace soilcal::report {

struct ParameterSummary {
  int slot = 0;
  std::string name;
  double lower = 0.0;
  double upper = 0.0;
  std::optional<double> start;        // value in the test files
  std::optional<double> best;         // calibrated value
  std::optional<double> sensitivity;  // relative sensitivity, largest 100; -1 after an abort
  std::optional<ParameterUncertaintySummary> uncertainty = std::nullopt;
};

// Fit of one curve at one parameter vector.
struct CurveFitSummary {
  double error = 0.0;  // mean relative error of the curve, percent
  int nValid = 0;      // measured points inside the simulated range
};

struct CurveSummary {
  std::string file;              // measured curve file, bare name
  int column1 = 0, column2 = 0;  // quantity codes in the file's column order
  int nPoints = 0;               // measured points
  std::optional<CurveFitSummary> start, best;
};

struct TestSummary {
  std::string file;  // lab-test file, bare name
  std::vector<CurveSummary> curves;
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

struct Summary {
  std::string job;                   // optimisation file, bare name
  std::optional<int> exitCode;       // none when a kernel error ended the run
  std::string exitName;              // "" for success
  std::string kernelError;           // message of the kernel error, if one ended the run
  std::optional<int> wallMs;         // as in the result file
  std::optional<double> cpuSeconds;
  int modelNumber = 0;
  int intensity = 0;
  double tolerance = 0.0;
  long evaluations = 0;
  int iterations = 0;
  std::vector<ParameterSummary> parameters;
  std::optional<PointSummary> start, best;
  std::vector<TestSummary> tests;
  std::vector<Warning> warnings;
  std::optional<UncertaintySummary> uncertainty = std::nullopt;  // none: step not run
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

// The warnings of a finished summary: parameters within 1 % of their range
// from a bound, relative sensitivities below 1, measured curves whose y
// values change sign, curves whose simulated points cover less than the
// measured range.
std::vector<Warning> CollectWarnings(const Summary& summary, const JobCurves& curves);

}  // namespace soilcal::report
