// Measured curves: one file per curve, read once the tests are read (the
// orientation of a curve depends on its test's control flags).
//
// Content that cannot be read (text where a number is due, fewer points
// than announced, negative segment sizes) stops the run with error 11, the
// error of a curve that does not fit its test, after a diagnostic line on
// unit 2 that names the file and the line.
#include <climits>
#include <new>
#include <stdexcept>

#include "input/free_format.hpp"
#include "input/readers.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::input {

bool IsPrescribed(int code, const std::array<int, 6>& flag, int testType) {
  const long long k = code < 0 ? -static_cast<long long>(code) : code;
  if (k == 1) return flag[1] == 0 && testType == 0;
  if (k >= 2 && k <= 7) return flag[static_cast<std::size_t>(k - 2)] == 0;
  if (k == 13) return flag[0] == 1 && flag[1] == 1 && flag[2] == 1;
  if (k >= 15 && k <= 20) return flag[static_cast<std::size_t>(k - 15)] == 1;
  if (k == 22) return flag[0] == 0 && flag[1] == 0 && flag[2] == 0;
  return false;
}

namespace {

using services::kInternalInconsistTestCurve;

void Read(LineReader& lines, std::initializer_list<ReadItem> items, const char* what) {
  const ReadStatus status = ReadStatement(lines, items);
  if (status != ReadStatus::kOk) StopUnreadable(kInternalInconsistTestCurve, lines, what, status);
}

void ReadSegments(LineReader& lines, Curve& curve) {
  long long nPoints = 0;
  curve.segmentSizes.assign(static_cast<std::size_t>(curve.nSegments), 0);
  for (int& size : curve.segmentSizes) {
    Read(lines, {&size}, "segment size");
    if (size < 0) StopMalformed(kInternalInconsistTestCurve, lines, "negative segment size");
    nPoints += size;
  }
  // A point takes a record of at least two bytes: more points than the rest
  // of the file can hold is an error of the file, not an allocation.
  if (nPoints > INT_MAX || nPoints > lines.remainingBytes() / 2 + 1) {
    StopMalformed(kInternalInconsistTestCurve, lines, "more points than the file holds");
  }
  curve.nPoints = static_cast<int>(nPoints);
}

void ReadPoints(LineReader& lines, Curve& curve) {
  const auto n = static_cast<std::size_t>(std::max(curve.nPoints, 0));
  curve.x.assign(n, 0.0);
  curve.y.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    double column1 = 0.0;
    double column2 = 0.0;
    Read(lines, {&column1, &column2}, "curve point");
    curve.x[i] = curve.swapped ? column2 : column1;
    curve.y[i] = curve.swapped ? column1 : column2;
  }
}

Curve ReadCurve(const LabTest& test, const std::string& name, const std::string& listedAt) {
  const std::string folder = services::FolderOf(name);
  if (!services::FileExists(name)) {
    services::StopWithError(services::kCurveFileNotFound, "curve file " + services::BareName(name) +
                                                              " not found in " + folder + listedAt);
  }
  InputFile file(name);
  if (!file.opened()) {
    services::StopWithError(services::kCurveFileNotFound,
                            "curve file " + services::BareName(name) + " in " + folder +
                                " cannot be opened" + services::KindInParentheses(name) +
                                listedAt);
  }
  LineReader& lines = file.lines();

  Curve curve;
  int c1 = 0;
  int c2 = 0;
  Read(lines, {&c1, &c2}, "quantity codes");
  curve.codesLine = lines.lineNumber();
  if (IsPrescribed(c2, test.controlFlags, test.testType) &&
      !IsPrescribed(c1, test.controlFlags, test.testType)) {
    curve.xCode = c2;
    curve.yCode = c1;
    curve.swapped = true;
  } else {
    curve.xCode = c1;
    curve.yCode = c2;
  }
  int multiFlag = 0;
  Read(lines, {&curve.nSegments}, "number of segments");
  Read(lines, {&multiFlag}, "multi-segment flag");
  curve.multiSegment = multiFlag == 1 || curve.nSegments > 1;
  if (curve.nSegments != test.nPhases) {
    StopMalformed(kInternalInconsistTestCurve, lines,
                  "number of segments " + std::to_string(curve.nSegments) +
                      " differs from the number of phases " + std::to_string(test.nPhases) +
                      " of its test " + services::BareName(test.testFile));
  }
  ReadSegments(lines, curve);
  ReadPoints(lines, curve);
  return curve;
}

}  // namespace

void ReadMeasuredCurves(Job& job) {
  try {
    for (LabTest& test : job.tests) {
      test.curves.clear();
      for (std::size_t c = 0; c < test.curveFiles.size(); ++c) {
        const std::string listedAt =
            c < test.listedCurves.size()
                ? ListedAt(job.argument, test.listedCurves[c], test.curveFiles[c])
                : std::string();
        test.curves.push_back(ReadCurve(test, test.curveFiles[c], listedAt));
      }
    }
  } catch (const std::bad_alloc&) {
    services::StopWithError(services::kCouldNotAllocateMemory, "not enough memory for the curves");
  } catch (const std::length_error&) {
    services::StopWithError(services::kCouldNotAllocateMemory, "not enough memory for the curves");
  }
}

}  // namespace soilcal::input
