// A curve in the job's own terms: a TOML job's quantity names, units and
// signs (compression positive), or a native job's quantity codes in the
// report's words with the values of the codes. The opened job's curves and
// the curves a calibration returns are both read through here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/job_language.hpp"
#include "input/records.hpp"
#include "report/summary.hpp"

namespace soilcal::run {

// The names, units and signs of curve c of test t of a TOML job; nullptr
// for a native job.
const input::CurveLanguage* LanguageOf(const input::Job& job, std::size_t t, std::size_t c);

// Phase of each measured point (1-based): the segments follow the phases.
std::vector<int> MeasuredPhases(const input::Curve& curve);

// A native quantity code in words, as the report names it ("axial strain
// ε1"); the values stay those of the code.
std::string QuantityName(int code, const input::LabTest& test);

// The two axes of a curve in the job's terms, from the values of its x and y
// codes (xs of curve.xCode, ys of curve.yCode). A native job, or a TOML
// curve whose quantities the columns do not hold, keeps the codes' values.
struct TermedAxes {
  std::string xName, yName;
  std::vector<double> x, y;
};
TermedAxes InJobTerms(const input::LabTest& test, std::size_t c, const input::CurveLanguage* language,
                      const std::vector<double>& xs, const std::vector<double>& ys);

// One series of a named curve, with the phase of each point (1-based; 0 for
// the simulated initial point).
struct NamedSeries {
  std::vector<double> x, y;
  std::vector<int> phase;
};

// A curve of a calibration in the job's terms: measured, and as the
// objective compared it at the start and at the best values (later phases
// shifted onto their first measured point). A series the run never
// simulated is empty.
struct NamedCurve {
  std::string file;  // measured curve file, bare name
  std::string xName, yName;
  NamedSeries measured, start, best;
};

struct NamedTestCurves {
  std::string test;  // lab-test file, bare name
  std::vector<NamedCurve> curves;
};

// The curves of a calibration's record (in each file's column order) in the
// job's terms.
std::vector<NamedTestCurves> NamedCurves(const input::Job& job, const report::Summary& summary,
                                         const report::JobCurves& curves);

}  // namespace soilcal::run
