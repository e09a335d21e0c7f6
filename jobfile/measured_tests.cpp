#include "jobfile/measured_tests.hpp"

#include "jobfile/templates.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

std::string Stem(const std::string& file) {
  std::string name = services::BareName(file);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

std::vector<derive::MeasuredTest> MeasuredTests(const NativeJob& native) {
  std::vector<derive::MeasuredTest> tests;
  const input::Job& job = native.job;
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    derive::MeasuredTest m;
    m.name = Stem(test.testFile);
    const int variant = test.modelNumber / 100 - 1;
    m.drained = variant != 1;
    if (const std::optional<TemplateValues> v = Recognise(test)) {
      m.kind = v->kind;
      m.cellPressure = v->cellPressure;
      m.initialStress = v->initialVerticalStress;
    }
    const bool named = t < native.language.curves.size();
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const input::Curve& curve = test.curves[c];
      if (!named || c >= native.language.curves[t].size()) continue;
      const input::CurveLanguage& lang = native.language.curves[t][c];
      derive::MeasuredCurve mc;
      mc.x = lang.x.name;
      mc.y = lang.y.name;
      // The record keeps the job's x and y in order; a swapped pair exchanges them.
      const input::AxisLanguage& ax = curve.swapped ? lang.y : lang.x;
      const input::AxisLanguage& ay = curve.swapped ? lang.x : lang.y;
      if (curve.swapped) std::swap(mc.x, mc.y);
      for (std::size_t i = 0; i < curve.x.size() && i < curve.y.size(); ++i) {
        mc.points.x.push_back(input::ToJobValue(ax, curve.x[i]));
        mc.points.y.push_back(input::ToJobValue(ay, curve.y[i]));
      }
      m.curves.push_back(std::move(mc));
    }
    tests.push_back(std::move(m));
  }
  return tests;
}

}  // namespace soilcal::jobfile
