// Warnings an engineer should read before trusting calibrated values.
#include <cmath>
#include <optional>
#include <string>

#include "report/html_report.hpp"
#include "report/summary.hpp"
#include "services/errors.hpp"

namespace soilcal::report {

namespace {

// The default search of more iterations than this went on after its first
// convergence checks (the check after iteration 2 compares with nothing).
constexpr int kShortSearchIterations = 4;

// A TOML job PATH/JOB.toml runs in the folder PATH/JOB.out/: the job file
// a person runs again lies beside that folder.
std::optional<std::string> TomlJobPath(const Summary& s) {
  const std::string suffix = ".toml";
  if (s.job.size() <= suffix.size() ||
      s.job.compare(s.job.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::nullopt;
  }
  const std::string outFolder = s.job.substr(0, s.job.size() - suffix.size()) + ".out/";
  if (s.jobFolder.size() < outFolder.size() ||
      s.jobFolder.compare(s.jobFolder.size() - outFolder.size(), outFolder.size(), outFolder) != 0) {
    return std::nullopt;
  }
  return s.jobFolder.substr(0, s.jobFolder.size() - outFolder.size()) + s.job;
}

void SearchWarnings(const Summary& s, std::vector<Warning>& out) {
  // A stop in the uncertainty step leaves the search's own result.
  const bool searchEnded = s.exitCode == 0 || (s.exitCode == services::kUserAbort && !s.stoppedAfterSearch.empty());
  // A search stopped early may not yet have found a point better than the
  // start: its best point so far is then no improvement at all.
  if (s.exitCode == services::kUserAbort && !searchEnded && s.start && s.best &&
      s.best->objective > s.start->objective) {
    out.push_back({"worse_than_start",
                   "the search was stopped before it found a point better than the start values "
                   "of the test files (mean relative error " +
                       ShortNumber(s.best->meanError) + " % against " +
                       ShortNumber(s.start->meanError) +
                       " % at the start): the result file's values are no calibration; keep the "
                       "start values or run the job to its end."});
  }
  if (!searchEnded) return;
  if (s.start && s.best && s.best->objective > s.start->objective) {
    out.push_back({"worse_than_start",
                   "the calibrated values fit worse than the start values of the test files "
                   "(objective " + ShortNumber(s.best->objective) + " against " +
                       ShortNumber(s.start->objective) + ", mean relative error " +
                       ShortNumber(s.best->meanError) + " % against " +
                       ShortNumber(s.start->meanError) +
                       " %): the search missed the better region; do not use them as they are."});
  }
  if (s.searchMode == "default" && s.iterations > 0 && s.iterations <= kShortSearchIterations) {
    const std::optional<std::string> toml = TomlJobPath(s);
    const std::string job = toml.value_or(s.jobFolder + s.job);
    out.push_back({"short_search",
                   "the default search stopped after " + std::to_string(s.iterations) +
                       " iterations, as soon as its best point stopped moving: it may have "
                       "stopped well above the best fit. Run the thorough search: soilcal "
                       "--search=thorough " + job +
                       (toml ? " (or set search = \"thorough\" in its [calibrate])."
                             : " (or put an empty file thorough_search into the job folder).")});
  }
}

void ParameterWarnings(const ParameterSummary& p, std::vector<Warning>& out) {
  const double range = p.upper - p.lower;
  const std::string name = DisplayName(p);
  if (p.best && range > 0.0) {
    const double v = *p.best;
    if (v - p.lower <= 0.01 * range) {
      out.push_back({"near_bound", name + " = " + ValueText(p, v) +
                                       " lies within 1 % of its range from the lower bound " +
                                       ValueText(p, p.lower) + ": the best value may lie below it."});
    } else if (p.upper - v <= 0.01 * range) {
      out.push_back({"near_bound", name + " = " + ValueText(p, v) +
                                       " lies within 1 % of its range from the upper bound " +
                                       ValueText(p, p.upper) + ": the best value may lie above it."});
    }
  }
  if (p.sensitivity && *p.sensitivity >= 0.0 && *p.sensitivity < 1.0) {
    out.push_back({"insensitive", name + " has a relative sensitivity of " + ShortNumber(*p.sensitivity) +
                                      ": these curves cannot identify it, its value is arbitrary within the bounds."});
  }
}

bool ChangesSign(const std::vector<double>& y) {
  bool positive = false, negative = false;
  for (double v : y) {
    if (v > 1e-15) positive = true;
    if (v < -1e-15) negative = true;
  }
  return positive && negative;
}

}  // namespace

std::vector<Warning> CollectWarnings(const Summary& summary, const JobCurves& curves) {
  std::vector<Warning> out;
  SearchWarnings(summary, out);
  for (const ParameterSummary& p : summary.parameters) ParameterWarnings(p, out);
  for (std::size_t t = 0; t < summary.tests.size(); ++t) {
    const TestSummary& test = summary.tests[t];
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const CurveSummary& curve = test.curves[c];
      const std::string where = test.file + " / " + CurveName(curve);
      if (t < curves.size() && c < curves[t].size() && ChangesSign(curves[t][c].measured.y)) {
        out.push_back({"sign_change", where + ": the measured y values change sign; relative errors of the points near zero are inflated."});
      }
      const auto& fit = curve.best ? curve.best : curve.start;
      if (fit && curve.nPoints > 0 && 4 * fit->nUninformative > curve.nPoints) {
        const bool all = fit->nUninformative >= curve.nPoints;
        out.push_back(
            {"uninformative_points",
             where + ": " + std::to_string(fit->nUninformative) + " of " +
                 std::to_string(curve.nPoints) +
                 " measured points carry no information (the first point of a phase, onto "
                 "which the simulated phase is shifted, or points outside the simulated range "
                 "or at 0)" +
                 (all ? ", so its error says nothing: this curve is no fit"
                      : ", so the error rests on the others") +
                 ". Give each phase more points; a TOML test by levels places one point per "
                 "stage on its load branches itself."});
      }
      if (fit && fit->nValid < curve.nPoints) {
        out.push_back({"short_coverage", where + ": the simulated points cover only " + std::to_string(fit->nValid) +
                                             " of " + std::to_string(curve.nPoints) + " measured points."});
      }
    }
  }
  return out;
}

}  // namespace soilcal::report
