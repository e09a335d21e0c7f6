#include "compare/compare_jobs.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "input/readers.hpp"
#include "report/summary_json.hpp"
#include "run/argument_path.hpp"
#include "run/input_digest.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::compare {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 6> kComponents{"xx", "yy", "zz", "xy", "yz", "zx"};

// Values written by different tools may differ in their last digits.
bool Same(double a, double b) {
  return a == b || std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

std::string Real(double v) { return services::FormatReal(v); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first component where two vectors differ, as "strain yy -0.105
// against -0.106"; "" when they agree.
template <typename T>
std::string Difference(const std::string& what, const std::array<T, 6>& a,
                       const std::array<T, 6>& b) {
  for (std::size_t i = 0; i < 6; ++i) {
    if (Same(static_cast<double>(a[i]), static_cast<double>(b[i]))) continue;
    return what + " " + kComponents[i] + " " + Real(static_cast<double>(a[i])) + " against " +
           Real(static_cast<double>(b[i]));
  }
  return "";
}

std::string FlagDifference(int phase, const std::array<int, 6>& a, const std::array<int, 6>& b) {
  for (std::size_t i = 0; i < 6; ++i) {
    if (a[i] == b[i]) continue;
    auto control = [](int flag) { return flag == 1 ? "stress" : "strain"; };
    return "phase " + std::to_string(phase) + " controls " + kComponents[i] + " by its " +
           control(a[i]) + " against its " + control(b[i]);
  }
  return "";
}

// What makes the loading of two tests differ; "" when it is the same.
std::string LoadingDifference(const input::LabTest& a, const input::LabTest& b) {
  const input::MaterialInput& ma = a.material;
  const input::MaterialInput& mb = b.material;
  if (ma.forceUnit != mb.forceUnit || ma.lengthUnit != mb.lengthUnit || ma.timeUnit != mb.timeUnit) {
    return "its units are " + ma.forceUnit + ", " + ma.lengthUnit + ", " + ma.timeUnit +
           " against " + mb.forceUnit + ", " + mb.lengthUnit + ", " + mb.timeUnit;
  }
  if (a.testType != b.testType) {
    return "its test type is " + std::to_string(a.testType) + " against " + std::to_string(b.testType);
  }
  if (std::string d = Difference("the initial stress", a.initialStress, b.initialStress); !d.empty()) {
    return d;
  }
  if (a.nPhases != b.nPhases) {
    return "it has " + std::to_string(a.nPhases) + " phases against " + std::to_string(b.nPhases);
  }
  for (std::size_t p = 0; p < static_cast<std::size_t>(a.nPhases); ++p) {
    const std::string phase = "phase " + std::to_string(p + 1) + " prescribes";
    if (std::string d = FlagDifference(static_cast<int>(p) + 1, a.phaseFlags[p], b.phaseFlags[p]);
        !d.empty()) {
      return d;
    }
    if (std::string d = Difference(phase + " the strain", a.prescribedStrain[p], b.prescribedStrain[p]);
        !d.empty()) {
      return d;
    }
    if (std::string d = Difference(phase + " the stress", a.prescribedStress[p], b.prescribedStress[p]);
        !d.empty()) {
      return d;
    }
    if (!Same(a.timeIncrement[p], b.timeIncrement[p])) {
      return "phase " + std::to_string(p + 1) + " takes the time " + Real(a.timeIncrement[p]) +
             " against " + Real(b.timeIncrement[p]);
    }
  }
  return "";
}

std::string PointsDifference(const input::Curve& a, const input::Curve& b) {
  if (a.xCode != b.xCode || a.yCode != b.yCode) {
    return "it compares the quantities " + std::to_string(a.xCode) + ", " +
           std::to_string(a.yCode) + " against " + std::to_string(b.xCode) + ", " +
           std::to_string(b.yCode);
  }
  if (a.segmentSizes != b.segmentSizes || a.nPoints != b.nPoints) {
    return "it has " + std::to_string(a.nPoints) + " measured points in " +
           std::to_string(a.nSegments) + " segments against " + std::to_string(b.nPoints) +
           " in " + std::to_string(b.nSegments);
  }
  for (std::size_t k = 0; k < a.x.size() && k < b.x.size(); ++k) {
    if (Same(a.x[k], b.x[k]) && Same(a.y[k], b.y[k])) continue;
    return "its measured point " + std::to_string(k + 1) + " is (" + Real(a.x[k]) + ", " +
           Real(a.y[k]) + ") against (" + Real(b.x[k]) + ", " + Real(b.y[k]) + ")";
  }
  return "";
}

[[noreturn]] void Differ(const ComparedJob& a, const ComparedJob& b, const std::string& what) {
  throw services::RunError(services::kInternalInconsistTestCurve,
                           a.path + " and " + b.path + " do not calibrate on the same tests: " +
                               what + "; compare jobs whose tests and measured curves are the same");
}

fs::file_time_type WriteTime(const std::string& path) {
  std::error_code ec;
  const fs::file_time_type t = fs::last_write_time(services::ResolvePath(path), ec);
  return ec ? fs::file_time_type::max() : t;
}

}  // namespace

ComparedJob ReadComparedJob(const std::string& path) {
  ComparedJob out;
  out.path = path;
  const std::string argument = run::ChooseArgumentSpelling(path);
  out.folder = services::FolderOf(argument);
  input::Job& job = out.job;
  input::ReadOptimisationInput(argument, job);
  input::LabTest current;
  for (input::LabTest& test : job.tests) input::ReadLabTestInput(test, current, argument);
  job.material = current.material;
  job.modelNumber = current.modelNumber;
  input::ReadMeasuredCurves(job);
  return out;
}

void CheckSameTests(const ComparedJob& first, const ComparedJob& other) {
  const auto& a = first.job.tests;
  const auto& b = other.job.tests;
  if (a.size() != b.size()) {
    Differ(first, other, std::to_string(a.size()) + " tests against " + std::to_string(b.size()));
  }
  for (std::size_t t = 0; t < a.size(); ++t) {
    const std::string test = "test " + std::to_string(t + 1) + " (" +
                             services::BareName(a[t].testFile) + " and " +
                             services::BareName(b[t].testFile) + ")";
    if (const std::string d = LoadingDifference(a[t], b[t]); !d.empty()) {
      Differ(first, other, test + " is not loaded alike: " + d);
    }
    if (a[t].curves.size() != b[t].curves.size()) {
      Differ(first, other, test + " has " + std::to_string(a[t].curves.size()) +
                               " measured curves against " + std::to_string(b[t].curves.size()));
    }
    for (std::size_t c = 0; c < a[t].curves.size(); ++c) {
      const std::string d = PointsDifference(a[t].curves[c], b[t].curves[c]);
      if (d.empty()) continue;
      Differ(first, other,
             "curve " + std::to_string(c + 1) + " of test " + std::to_string(t + 1) + " (" +
                 services::BareName(a[t].curveFiles[c]) + " and " +
                 services::BareName(b[t].curveFiles[c]) + ") differs: " + d);
    }
  }
}

bool FinishedRunMatches(const ComparedJob& compared, const std::optional<std::string>& search) {
  const input::Job& job = compared.job;
  const std::string summaryPath = compared.folder + report::kSummaryFileName;
  if (!services::FileExists(summaryPath)) return false;
  std::string error;
  const std::optional<report::Summary> s =
      report::ReadSummaryJson(services::ResolvePath(summaryPath), error);
  if (!s || s->exitCode != 0 || !s->best) return false;
  // A native job written from a TOML job is named by its job file.
  const std::string name = job.language ? job.language->jobFile : services::BareName(compared.path);
  if (Lower(s->job) != Lower(name)) return false;
  if (search && s->searchMode != *search) return false;
  if (s->parameters.size() != job.settings.index.size()) return false;
  for (std::size_t j = 0; j < s->parameters.size(); ++j) {
    if (s->parameters[j].slot != job.settings.index[j]) return false;
  }
  if (s->tests.size() != job.tests.size()) return false;
  std::vector<std::string> inputs{compared.path, compared.folder + input::kJobLanguageFile};
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    inputs.push_back(test.testFile);
    if (Lower(s->tests[t].file) != Lower(services::BareName(test.testFile))) return false;
    if (s->tests[t].curves.size() != test.curves.size()) return false;
    for (std::size_t c = 0; c < test.curves.size(); ++c) {
      const report::CurveSummary& curve = s->tests[t].curves[c];
      if (Lower(curve.file) != Lower(services::BareName(test.curveFiles[c]))) return false;
      if (curve.nPoints != test.curves[c].nPoints || !curve.best) return false;
      if (!services::FileExists(compared.folder + curve.file + "_calculated")) return false;
      inputs.push_back(test.curveFiles[c]);
    }
  }
  // A job changed after its run (bounds, start values, points, a flag file,
  // another version of the program) is run again: a file written after the
  // summary, and any file whose content differs from what the run read,
  // whatever its time (a copy that keeps old times: cp -p, rsync -a, tar x).
  const fs::file_time_type written = WriteTime(summaryPath);
  for (const std::string& input : inputs) {
    if (!services::FileExists(input)) continue;
    if (WriteTime(input) > written) return false;
  }
  return !s->inputDigest.empty() && s->inputDigest == run::InputDigest(job);
}

}  // namespace soilcal::compare
