// Simulated curves: built from the recorded points, shifted per phase,
// interpolated at the measured abscissae.
#include "optimisation/simulated_curves.hpp"

#include <algorithm>
#include <cmath>

#include "optimisation/objective.hpp"

namespace soilcal::optimisation {

namespace {

int LoadSteps(const input::LabTest& test, int p) {
  return p >= 1 && p <= static_cast<int>(test.loadSteps.size()) ? test.loadSteps[p - 1] : 0;
}

int SegmentSize(const input::Curve& c, int p) {
  return p >= 1 && p <= static_cast<int>(c.segmentSizes.size()) ? c.segmentSizes[p - 1] : 0;
}

}  // namespace

int PhaseFirstPoint(int p, const input::LabTest& test) {
  int point = 1;
  for (int q = 1; q < p; ++q) point += LoadSteps(test, q) + 1;
  return point;
}

int PhaseLastPoint(int p, const input::LabTest& test) {
  int point = 1;
  for (int q = 1; q <= p; ++q) point += LoadSteps(test, q);
  return point;
}

void BuildSimulatedCurves(std::vector<input::Curve>& sim, const input::LabTest& test,
                          const labtest::Recording& rec, int nRecorded) {
  sim.resize(test.curves.size());
  const int capacity = std::max(test.capacity, nRecorded);
  for (std::size_t c = 0; c < test.curves.size(); ++c) {
    const input::Curve& m = test.curves[c];
    input::Curve& s = sim[c];
    s.xCode = m.xCode;
    s.yCode = m.yCode;
    s.multiSegment = m.multiSegment;
    s.swapped = m.swapped;
    s.nSegments = test.nPhases;
    s.segmentSizes.assign(test.loadSteps.begin(), test.loadSteps.end());
    s.nPoints = capacity;
    s.x.assign(static_cast<std::size_t>(capacity), 0.0);
    s.y.assign(static_cast<std::size_t>(capacity), 0.0);
    for (int k = 1; k <= nRecorded; ++k) {
      const input::RecordedPoint point = rec.Point(k);
      s.x[k - 1] = input::CurveQuantity(point, s.xCode);
      s.y[k - 1] = input::CurveQuantity(point, s.yCode);
    }
  }
}

void ShiftPhases(const input::LabTest& test, const input::Curve& measured, input::Curve& sim,
                 int nRecorded) {
  const int nPhases = test.nPhases;
  std::vector<double> shiftX(static_cast<std::size_t>(std::max(nPhases, 1)) + 1, 0.0);
  std::vector<double> shiftY(shiftX.size(), 0.0);
  std::vector<bool> shifted(shiftX.size(), false);
  int i = SegmentSize(measured, 1) + 1;  // first measured point of phase p
  for (int p = 2; p <= nPhases; ++p) {
    const int size = SegmentSize(measured, p);
    const int k = PhaseFirstPoint(p, test);
    // Without a recorded point there is nothing to shift onto.
    if (size != 0 && k <= nRecorded && i <= measured.nPoints) {
      shiftX[p] = measured.x[i - 1] - sim.x[k - 1];
      shiftY[p] = measured.y[i - 1] - sim.y[k - 1];
      shifted[p] = true;
    }
    i += size;
  }
  for (int p = 2; p <= nPhases; ++p) {
    if (!shifted[p]) continue;
    const int last = std::min(PhaseLastPoint(p, test), nRecorded);
    for (int k = PhaseFirstPoint(p, test); k <= last; ++k) {
      sim.x[k - 1] += shiftX[p];
      sim.y[k - 1] += shiftY[p];
    }
  }
}

double InterpolateSimulated(const input::LabTest& test, const input::Curve& measured, int p,
                            int k, const input::Curve& sim, int nRecorded, bool& outOfRange) {
  const double xk = measured.x[k - 1];
  const double yk = measured.y[k - 1];
  const int last = std::min(PhaseLastPoint(p, test), nRecorded);
  for (int j = PhaseFirstPoint(p, test); j + 1 <= last; ++j) {
    const double x0 = sim.x[j - 1], x1 = sim.x[j];
    const bool enclosed = (x0 <= xk && xk <= x1) || (x1 <= xk && xk <= x0);
    if (!enclosed) continue;
    outOfRange = false;
    const double y0 = sim.y[j - 1], y1 = sim.y[j];
    if (xk == x0) return y0;
    if (xk == x1) return y1;
    return y0 + (xk - x0) * (y1 - y0) / (x1 - x0);
  }
  outOfRange = true;
  return yk;
}

CurveFit CompareCurve(const input::LabTest& test, const input::Curve& measured,
                      input::Curve& sim, int nRecorded, std::vector<double>* deviations) {
  if (measured.multiSegment) ShiftPhases(test, measured, sim, nRecorded);
  CurveFit fit;
  fit.nPoints = measured.nPoints;
  fit.nValid = measured.nPoints;
  int k = 0;
  for (int p = 1; p <= test.nPhases; ++p) {
    for (int q = 0; q < SegmentSize(measured, p) && k < measured.nPoints; ++q) {
      ++k;
      bool outOfRange = false;
      const double s = InterpolateSimulated(test, measured, p, k, sim, nRecorded, outOfRange);
      if (outOfRange) --fit.nValid;
      const double y = measured.y[k - 1];
      // Points with a measured value of (nearly) zero have no relative error.
      if (std::abs(y) > 1e-15) {
        const double rel = (y - s) / y;
        fit.sumSquared += rel * rel;
        fit.sumAbsolute += std::abs(y - s) / std::abs(y);
        if (deviations) deviations->push_back(outOfRange ? std::nan("") : rel);
      }
    }
  }
  return fit;
}

CurveInformation InformationOf(const input::LabTest& test, const input::Curve& measured,
                               input::Curve& sim, int nRecorded) {
  if (measured.multiSegment) ShiftPhases(test, measured, sim, nRecorded);
  CurveInformation info;
  info.nPoints = measured.nPoints;
  int k = 0;
  for (int p = 1; p <= test.nPhases; ++p) {
    const int first = PhaseFirstPoint(p, test);
    const bool shifted = measured.multiSegment && p > 1 && first <= nRecorded;
    for (int q = 0; q < SegmentSize(measured, p) && k < measured.nPoints; ++q) {
      ++k;
      bool outOfRange = false;
      InterpolateSimulated(test, measured, p, k, sim, nRecorded, outOfRange);
      const double x = measured.x[k - 1], y = measured.y[k - 1];
      // The start of the test: every parameter set begins there.
      const bool atStart =
          p == 1 && q == 0 && nRecorded >= 1 && x == sim.x[0] && y == sim.y[0];
      if (outOfRange) {
        ++info.nOutside;
      } else if (std::abs(y) <= 1e-15) {
        ++info.nZero;
      } else if ((shifted && q == 0) || atStart) {
        ++info.nAnchors;
      }
    }
  }
  return info;
}

TestFit FitRecordedTest(const input::LabTest& test, const labtest::Recording& rec,
                        int nRecorded, std::vector<input::Curve>& sim,
                        std::vector<double>* residuals) {
  TestFit t;
  if (test.curves.empty()) return t;
  BuildSimulatedCurves(sim, test, rec, nRecorded);
  const double nCurves = static_cast<double>(test.curves.size());
  double f = 0.0, g = 0.0;
  for (std::size_t c = 0; c < test.curves.size(); ++c) {
    const std::size_t first = residuals ? residuals->size() : 0;
    const CurveFit fit = CompareCurve(test, test.curves[c], sim[c], nRecorded, residuals);
    // Fewer than half of the points inside the simulated range, or none at
    // all, is no comparison.
    if (fit.nValid < fit.nPoints / 2 || fit.nValid <= 0) {
      t.smallOverlap = true;
      return t;
    }
    f += fit.sumSquared / fit.nValid;
    g += fit.sumAbsolute / fit.nValid * 100.0;
    if (residuals) {
      // The curve's share of the objective is S2 / (nValid x curves).
      const double weight = 1.0 / std::sqrt(fit.nValid * nCurves);
      for (std::size_t k = first; k < residuals->size(); ++k) (*residuals)[k] *= weight;
    }
  }
  t.objective = f / nCurves;
  t.error = g / nCurves;
  return t;
}

}  // namespace soilcal::optimisation
