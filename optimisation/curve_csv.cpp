#include "optimisation/curve_csv.hpp"

#include "input/curve_quantity.hpp"
#include "services/diag.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {
namespace {

// Phase of recorded point k: the initial point belongs to phase 1, the
// points of a phase's load steps to that phase.
int PhaseOfPoint(const input::LabTest& test, int k) {
  int last = 1;
  for (int p = 0; p < test.nPhases; ++p) {
    last += test.loadSteps[static_cast<std::size_t>(p)];
    if (k <= last) return p + 1;
  }
  return test.nPhases;
}

}  // namespace

std::string CurveCsvText(const input::CurveLanguage& language, const input::LabTest& test,
                         const labtest::Recording& rec, int nRecorded) {
  const bool phases = test.nPhases > 1;
  std::string text = (phases ? "phase," : "") + language.x.name + "," + language.y.name + "\n";
  for (int k = 1; k <= nRecorded; ++k) {
    const input::RecordedPoint point = rec.Point(k);
    const double x = input::ToJobValue(language.x, input::CurveQuantity(point, language.x.code));
    const double y = input::ToJobValue(language.y, input::CurveQuantity(point, language.y.code));
    if (phases) text += std::to_string(PhaseOfPoint(test, k)) + ",";
    text += services::FormatReal(x) + "," + services::FormatReal(y) + "\n";
  }
  return text;
}

std::string CurveCsvName(const input::Job& job, const input::CurveLanguage& curve,
                         const std::string& suffix) {
  return job.projectFolder + curve.output + suffix + ".csv";
}

void WriteCurveCsvFiles(const input::Job& job, std::size_t t, const labtest::Recording& rec,
                        int nRecorded, const std::string& suffix) {
  if (!job.language || t >= job.language->curves.size()) return;
  const input::LabTest& test = job.tests[t];
  for (const input::CurveLanguage& curve : job.language->curves[t]) {
    const std::string path = services::ResolvePath(CurveCsvName(job, curve, suffix));
    const services::WriteStatus written =
        services::WriteFileAtomically(path, CurveCsvText(curve, test, rec, nRecorded));
    if (!written) services::ReportOutputFailure(path, written.cause);
  }
}

}  // namespace soilcal::optimisation
