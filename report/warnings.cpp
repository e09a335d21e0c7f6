// Warnings an engineer should read before trusting calibrated values.
#include <cmath>
#include <cstdio>

#include "report/summary.hpp"

namespace soilcal::report {

namespace {

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", v);
  return buffer;
}

void ParameterWarnings(const ParameterSummary& p, std::vector<Warning>& out) {
  const double range = p.upper - p.lower;
  if (p.best && range > 0.0) {
    const double v = *p.best;
    if (v - p.lower <= 0.01 * range) {
      out.push_back({"near_bound", p.name + " = " + Number(v) + " lies within 1 % of its range from the lower bound " +
                                       Number(p.lower) + ": the best value may lie below it."});
    } else if (p.upper - v <= 0.01 * range) {
      out.push_back({"near_bound", p.name + " = " + Number(v) + " lies within 1 % of its range from the upper bound " +
                                       Number(p.upper) + ": the best value may lie above it."});
    }
  }
  if (p.sensitivity && *p.sensitivity >= 0.0 && *p.sensitivity < 1.0) {
    out.push_back({"insensitive", p.name + " has a relative sensitivity of " + Number(*p.sensitivity) +
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
  for (const ParameterSummary& p : summary.parameters) ParameterWarnings(p, out);
  for (std::size_t t = 0; t < summary.tests.size(); ++t) {
    const TestSummary& test = summary.tests[t];
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const CurveSummary& curve = test.curves[c];
      const std::string where = test.file + " / " + curve.file;
      if (t < curves.size() && c < curves[t].size() && ChangesSign(curves[t][c].measured.y)) {
        out.push_back({"sign_change", where + ": the measured y values change sign; relative errors of the points near zero are inflated."});
      }
      const auto& fit = curve.best ? curve.best : curve.start;
      if (fit && fit->nValid < curve.nPoints) {
        out.push_back({"short_coverage", where + ": the simulated points cover only " + std::to_string(fit->nValid) +
                                             " of " + std::to_string(curve.nPoints) + " measured points."});
      }
    }
  }
  return out;
}

}  // namespace soilcal::report
