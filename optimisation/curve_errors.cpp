// Per-curve errors through the objective's own curve building and
// comparison (BuildSimulatedCurves, CompareCurve, FitRecordedTest).
#include "optimisation/curve_errors.hpp"

#include <algorithm>
#include <utility>

#include "input/curve_quantity.hpp"
#include "labtest/driver.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/simulated_curves.hpp"

namespace soilcal::optimisation {

namespace {

// The simulated points of a curve in its file's column order.
void FilePoints(const input::Curve& curve, const labtest::Recording& rec, int nRecorded,
                CurveError& out) {
  const int first = curve.swapped ? curve.yCode : curve.xCode;
  const int second = curve.swapped ? curve.xCode : curve.yCode;
  out.x.resize(static_cast<std::size_t>(std::max(nRecorded, 0)));
  out.y.resize(out.x.size());
  for (int k = 1; k <= nRecorded; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    // "+ 0.0" as in the curve files: a negated zero is 0.
    out.x[static_cast<std::size_t>(k - 1)] = input::CurveQuantity(point, first) + 0.0;
    out.y[static_cast<std::size_t>(k - 1)] = input::CurveQuantity(point, second) + 0.0;
  }
}

TestErrors CompareTest(const input::LabTest& test, const labtest::Recording& rec,
                       const labtest::LabTestRun& run) {
  TestErrors t;
  t.status = run.status;
  t.nRecorded = run.nRecorded;
  std::vector<input::Curve> sim;
  const TestFit fit = FitRecordedTest(test, rec, run.nRecorded, sim);
  t.error = fit.error;
  t.objective = fit.objective;
  t.smallOverlap = fit.smallOverlap;
  // FitRecordedTest stops at the first curve without overlap: compare every
  // curve once more on freshly built curves.
  BuildSimulatedCurves(sim, test, rec, run.nRecorded);
  std::vector<input::Curve> fresh;
  BuildSimulatedCurves(fresh, test, rec, run.nRecorded);
  for (std::size_t c = 0; c < test.curves.size(); ++c) {
    const CurveFit f = CompareCurve(test, test.curves[c], sim[c], run.nRecorded);
    CurveError e;
    e.nPoints = f.nPoints;
    e.nValid = f.nValid;
    if (f.nValid > 0) {
      e.error = f.sumAbsolute / f.nValid * 100.0;
      e.objective = f.sumSquared / f.nValid;
    }
    FilePoints(test.curves[c], rec, run.nRecorded, e);
    const input::Curve& m = test.curves[c];
    e.nUninformative = InformationOf(test, m, fresh[c], run.nRecorded).Uninformative();
    t.curves.push_back(std::move(e));
  }
  return t;
}

}  // namespace

JobErrors CurveErrors(const input::Job& job, labtest::SimulationContext& ctx,
                      std::span<const double> x, bool keepTestParameters) {
  if (!keepTestParameters) {
    const auto& index = job.settings.index;
    for (std::size_t j = 0; j < x.size() && j < index.size(); ++j) ctx.set1.prop[index[j]] = x[j];
  }
  JobErrors out;
  for (const input::LabTest& test : job.tests) {
    labtest::PrepareLabTest(ctx, test);
    const labtest::LabTestRun run = labtest::RunLabTest(ctx);
    TestErrors t = CompareTest(test, ctx.rec, run);
    if ((t.status != 0 && t.status != -3) || t.smallOverlap) out.usable = false;
    out.meanError += t.error;
    out.objective += t.objective;
    out.tests.push_back(std::move(t));
  }
  // The objective is a sum over the tests, the error a mean.
  if (!job.tests.empty()) out.meanError /= static_cast<double>(job.tests.size());
  return out;
}

}  // namespace soilcal::optimisation
