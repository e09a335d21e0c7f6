#include "run/live_curves.hpp"

#include <memory>
#include <utility>

#include <nlohmann/json.hpp>

#include "input/test_kind.hpp"
#include "labtest/context.hpp"
#include "optimisation/curve_errors.hpp"
#include "optimisation/objective.hpp"
#include "report/curve_axes_json.hpp"
#include "report/curve_reading.hpp"
#include "report/report_sections.hpp"
#include "run/summary_facts.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

using Json = nlohmann::json;

report::CurveSeries MeasuredSeries(const input::Curve& m) {
  return m.swapped ? report::CurveSeries{m.y, m.x} : report::CurveSeries{m.x, m.y};
}

// NaN (the break between phases) becomes null.
Json Points(const report::CurveSeries& s) { return {{"x", s.x}, {"y", s.y}}; }

std::string Line(const Json& body) {
  return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string MeasuredCurvesLine(const input::Job& job, const std::string& model) {
  // The report's axes, so that a page draws the curves as the report will.
  const report::QuantityUnits units = report::UnitsOf(report::JobUnits{
      job.material.forceUnit, job.material.lengthUnit, job.material.timeUnit});
  Json tests = Json::array();
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    const input::TestType type = input::RecogniseTestType(test);
    Json curves = Json::array();
    for (std::size_t c = 0; c < test.curves.size() && c < test.curveFiles.size(); ++c) {
      const input::Curve& m = test.curves[c];
      std::string name = CurveLabel(job, t, c);
      if (name.empty()) name = services::BareName(test.curveFiles[c]);
      Json one = Points(MeasuredSeries(m));
      one["name"] = name;
      const int first = m.swapped ? m.yCode : m.xCode, second = m.swapped ? m.xCode : m.yCode;
      one["columns"] = {first, second};
      one["axes"] = report::CurveAxesJson(report::ChooseCurveView(first, second, type, units));
      curves.push_back(std::move(one));
    }
    tests.push_back({{"file", services::BareName(test.testFile)}, {"curves", curves}});
  }
  return Line({{"measured_curves", {{"model", model}, {"tests", tests}}}});
}

LiveCurves::LiveCurves(const input::Job& job, const models::ModelResources& resources,
                       const models::MaterialSet& set1, Sink sink, std::string model)
    : job_(job), resources_(resources), set1_(set1), sink_(std::move(sink)), model_(std::move(model)) {}

void LiveCurves::Note(const optimisation::SearchProgress& p) {
  if (!sink_ || p.best.empty() || p.bestObjective < 0.0) return;
  if (lastObjective_ >= 0.0 && !(p.bestObjective < lastObjective_)) return;
  lastObjective_ = p.bestObjective;
  if (!measuredSent_) {
    sink_(MeasuredCurvesLine(job_, model_));
    measuredSent_ = true;
  }
  optimisation::JobErrors errors;
  try {
    auto ctx = std::make_unique<labtest::SimulationContext>();
    labtest::InitContext(*ctx, job_, resources_);
    optimisation::StartFromMaterialSet(*ctx, set1_);
    errors = optimisation::CurveErrors(job_, *ctx, p.best, false);
  } catch (const services::KernelAbort&) {
    return;  // the search evaluated this point; a drawing is not worth a run
  }
  Json tests = Json::array();
  for (std::size_t t = 0; t < errors.tests.size() && t < job_.tests.size(); ++t) {
    const input::LabTest& test = job_.tests[t];
    Json curves = Json::array();
    for (std::size_t c = 0; c < errors.tests[t].curves.size() && c < test.curves.size(); ++c) {
      const optimisation::CurveError& e = errors.tests[t].curves[c];
      curves.push_back(Points(report::AsCompared(report::CurveSeries{e.x, e.y},
                                                 MeasuredSeries(test.curves[c]),
                                                 test.curves[c].segmentSizes, test.loadSteps)));
    }
    tests.push_back({{"curves", curves}});
  }
  sink_(Line({{"best_curves",
               {{"model", model_},
                {"iteration", p.iteration},
                {"evaluations", p.evaluations},
                {"best_error", p.bestError},
                {"tests", tests}}}}));
}

}  // namespace soilcal::run
