#include "run/curve_checks.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "input/curve_quantity.hpp"
#include "run/job_outputs.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

// A measured y this small carries no relative error (the objective skips it).
constexpr double kZeroY = 1e-15;

std::string OptimLine(const input::Job& job, int line) {
  return services::BareName(job.argument) + " line " + std::to_string(line);
}

input::ListedName ListedCurve(const input::LabTest& test, std::size_t c) {
  return c < test.listedCurves.size() ? test.listedCurves[c] : input::ListedName{};
}

struct CurveEntry {
  const input::LabTest* test;
  std::size_t index;
};

void WarnAboutSharedFiles(const input::Job& job, const std::vector<CurveEntry>& entries) {
  for (std::size_t a = 0; a < entries.size(); ++a) {
    for (std::size_t b = a + 1; b < entries.size(); ++b) {
      const std::string& fileA = entries[a].test->curveFiles[entries[a].index];
      const std::string& fileB = entries[b].test->curveFiles[entries[b].index];
      if (!SameFile(fileA, fileB)) continue;
      const input::ListedName first = ListedCurve(*entries[a].test, entries[a].index);
      const input::ListedName second = ListedCurve(*entries[b].test, entries[b].index);
      const std::string nameA = services::BareName(first.name);
      const std::string nameB = services::BareName(second.name);
      std::string text = services::BareName(job.argument) + " lines " +
                         std::to_string(first.line) + " and " + std::to_string(second.line) +
                         " both read the curve file " + services::BareName(fileA);
      if (nameA != nameB) {
        text += " (listed as " + nameA + " and " + nameB +
                "; a name is cut to its first 80 characters and found ignoring case)";
      }
      services::Warn(text + ": the two curves have the same measured points, and the simulated "
                            "curves of line " + std::to_string(second.line) +
                     " replace those of line " + std::to_string(first.line));
    }
  }
}

}  // namespace

void WarnAboutCurves(const input::Job& job) {
  std::vector<CurveEntry> entries;
  for (const input::LabTest& test : job.tests) {
    const std::string name = services::BareName(test.testFile);
    if (test.curveFiles.empty()) {
      services::Warn(OptimLine(job, test.listed.line) + ": the test " + name +
                     " lists no curve file: it is simulated but adds nothing to the error");
    }
    for (std::size_t c = 0; c < test.curveFiles.size(); ++c) {
      entries.push_back({&test, c});
      if (c >= test.curves.size()) continue;
      const input::Curve& curve = test.curves[c];
      const bool allZero = std::all_of(curve.y.begin(), curve.y.end(),
                                       [](double y) { return std::abs(y) <= kZeroY; });
      if (curve.nPoints > 0 && allZero) {
        services::Warn("curve file " + services::BareName(test.curveFiles[c]) + " of test " + name +
                       ": every measured y value is 0, and a point at 0 has no relative error, "
                       "so this curve counts as a perfect fit (0 %) whatever the simulation "
                       "gives");
      }
    }
  }
  if (!job.tests.empty() && entries.empty()) {
    services::Warn("no test of the job has a curve file: every parameter set has an error of 0, "
                   "so the calibrated values are arbitrary");
  }
  WarnAboutSharedFiles(job, entries);
}

std::string UninformativeCause(const optimisation::CurveInformation& info) {
  std::string parts;
  auto add = [&](int n, const std::string& what) {
    if (n == 0) return;
    parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  };
  add(info.nAnchors, "are the first points of their phases, onto which the simulated phases "
                     "are shifted");
  add(info.nOutside, "lie outside the simulated range");
  add(info.nZero, "are 0 and have no relative error");
  std::string fix;
  if (info.nAnchors >= info.nOutside && info.nAnchors >= info.nZero) {
    fix = "give each phase (load branch) more than its first point: a TOML test by levels "
          "(vertical_stress = [...], pressure = [...]) takes one point per stage and places "
          "them on its load branches when the curve holds the controlled stress";
  } else if (info.nOutside >= info.nZero) {
    fix = "let the test reach the measured range (a larger strain or the last level), or "
          "check the units of the measured values (strains in percent?)";
  } else {
    fix = "compare a quantity that is not 0 at the measured points";
  }
  return parts + "; " + fix;
}

void CheckCurveInformation(
    const input::Job& job,
    const std::vector<std::vector<optimisation::CurveInformation>>& information) {
  for (std::size_t t = 0; t < information.size() && t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    for (std::size_t c = 0; c < information[t].size() && c < test.curveFiles.size(); ++c) {
      const optimisation::CurveInformation& info = information[t][c];
      if (info.nPoints == 0 || info.Uninformative() < info.nPoints) continue;
      std::string name = services::BareName(test.curveFiles[c]);
      if (job.language && t < job.language->curves.size() &&
          c < job.language->curves[t].size()) {
        name = job.language->curves[t][c].source;
      }
      const std::string text =
          "curve " + name + " of test " + services::BareName(test.testFile) + ": none of its " +
          std::to_string(info.nPoints) +
          " measured points carries information, so every parameter set fits it alike and its "
          "0 % error is no fit (" + UninformativeCause(info) + ")";
      if (job.language) services::StopWithError(services::kInternalInconsistTestCurve, text);
      services::Warn("NO FIT: " + text, "uninformative_curve");
    }
  }
}

void AddPlaceOfError(services::RunError& error, const input::Job& job) {
  const input::SettingLines& at = job.settingLines;
  if (error.code == services::kUnknownSearchIntensity && at.intensity > 0) {
    const std::string cause =
        error.detail.empty()
            ? "search intensity " + std::to_string(job.settings.intensity) + " is not 1, 2 or 3"
            : error.detail;
    error.detail = OptimLine(job, at.intensity) + ": " + cause;
  } else if (error.code == services::kCouldNotInitializePoints && job.tests.empty() &&
             at.tests > 0) {
    error.detail = OptimLine(job, at.tests) +
                   ": the job lists no laboratory test, so no starting point can be simulated "
                   "(give the number of tests and their files)";
  } else if (error.code == services::kWrongMatParamInCurveFile) {
    // The first unknown code in list order is the one the simulation met.
    for (const input::LabTest& test : job.tests) {
      for (std::size_t c = 0; c < test.curves.size() && c < test.curveFiles.size(); ++c) {
        const input::Curve& curve = test.curves[c];
        // In the file's column order, as the curve is written.
        const int first = curve.swapped ? curve.yCode : curve.xCode;
        const int second = curve.swapped ? curve.xCode : curve.yCode;
        for (int code : {first, second}) {
          if (input::IsKnownQuantity(code)) continue;
          error.detail = services::BareName(test.curveFiles[c]) + " line " +
                         std::to_string(curve.codesLine) + ": quantity code " +
                         std::to_string(code) +
                         " does not exist (codes 1-10 and 13-35, negative for the negated value)";
          return;
        }
      }
    }
  }
}

}  // namespace soilcal::run
