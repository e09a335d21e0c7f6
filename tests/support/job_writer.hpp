// Writers of the job's text files for tests, benchmarks and example projects.
//
// MakeLabTestFile writes a lab-test input file of any version. The layout,
// shown for version 9 with one phase (left: the file, right: what it means;
// "free" lines are read and ignored):
//
//   soilcal lab test          header line 0: echoed as "Header line ..."
//   9                         1  file version
//   free                      2
//   kN                        3  force unit: N kN MN lbf kip
//   m                         4  length unit: m cm mm km in ft yd
//   day                       5  time unit: day s min h
//   free                      6
//   10                        7  header value (read only when version > 8)
//   free                      8
//   free                      9
//   free                      material line 0
//   2                         1  base model number (2 Mohr-Coulomb, ...)
//   Sand<TAB>comment          2  material name (ends before the last tab)
//   free x 7                  3..9
//   <200 lines>               parameters 1..200, one value a line
//   free x 5                  only when version > 8
//   free                      test step 1
//   0                         2  test type (rounded)
//   0                         3  model variant k: model = base + 100 (k + 1)
//   0 / free                  4  only when version > 8: a value, a free line
//   0.01                      5  tolerance
//   1                         6  relaxation factor
//   200                       7  maximum iterations (at least 200)
//   0                         8  acceleration flag
//   0                         9  real setting 2 (absolute value kept)
//   0                         10 model value (base models 6, 19; version 1)
//   0 / 0                     11 only when version > 7: two lines, a value
//                                and an integer setting
//   -100 -100 -100 0 0 0      12 initial stress xx yy zz xy yz zx
//   free x 2                  13 only when version > 8
//   1 1 1 1 1 1               14 only when version < 6: control flags of
//                                every phase
//   1                         15 number of phases
//   then per phase:
//   100                       load steps
//   0                         time increment
//   0 -0.05 0 0 0 0           prescribed strain over the phase
//   -100 0 -100 0 0 0         prescribed stress over the phase
//   1 0 1 1 1 1               only when version >= 6: control flags
//                             (1 stress, 0 strain prescribed)
//   free x 2                  only when version > 8
//
// Stresses are tension positive, shear strains engineering strains.
// MakeOptimisationFile and MakeCurveFile write the other two kinds of file.
#pragma once

#include <array>
#include <charconv>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace soilcal::testing {

struct LabTestPhase {
  int loadSteps = 10;
  double timeIncrement = 0.0;
  std::array<double, 6> strain{};
  std::array<double, 6> stress{};
  std::array<int, 6> flags{1, 1, 1, 1, 1, 1};
};

struct LabTestFileDesc {
  int version = 9;
  std::string header = "soilcal lab test";
  std::string forceUnit = "kN";
  std::string lengthUnit = "m";
  std::string timeUnit = "day";
  double headerValue = 10.0;
  int baseModel = 2;
  std::string materialName = "Soil";
  std::array<double, 201> params{};  // 1-based: params[1..200]
  double testType = 0.0;
  double variant = 0.0;
  double step4Value = 0.0;
  double tolerance = 0.01;
  double relaxation = 1.0;
  double maxIterations = 200.0;
  double acceleration = 0.0;
  double realSetting2 = 0.0;
  double step10Value = 0.0;
  double step11Value = 0.0;
  double step11Setting = 0.0;
  std::array<double, 6> initialStress{};
  std::array<int, 6> oldFlags{1, 1, 1, 1, 1, 1};  // step 14 of versions below 6
  std::vector<LabTestPhase> phases;
  std::string lineEnd = "\n";  // "\r\n" for a file written on Windows
  bool byteOrderMark = false;  // a UTF-8 byte-order mark before the header
};

// Material parameters (slots 1..200) from (slot, value) pairs, the rest 0.
inline std::array<double, 201> ParamSlots(std::initializer_list<std::pair<int, double>> slots) {
  std::array<double, 201> p{};
  for (const auto& [slot, value] : slots) p[static_cast<std::size_t>(slot)] = value;
  return p;
}

// Shortest text that reads back to the same double.
inline std::string Num(double v) {
  char buffer[64];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

template <typename T, std::size_t N>
std::string NumLine(const std::array<T, N>& values) {
  std::string line;
  for (const T& v : values) {
    if (!line.empty()) line += ' ';
    line += Num(static_cast<double>(v));
  }
  return line;
}

inline std::string MakeLabTestFile(const LabTestFileDesc& s) {
  std::string text = s.byteOrderMark ? "\xEF\xBB\xBF" : "";
  auto line = [&](const std::string& l) { text += l + s.lineEnd; };
  auto free = [&](int n) {
    for (int i = 0; i < n; ++i) line("free");
  };
  const bool newer = s.version > 8;
  line(s.header);
  line(std::to_string(s.version));
  free(1);
  line(s.forceUnit);
  line(s.lengthUnit);
  line(s.timeUnit);
  free(1);
  line(Num(s.headerValue));
  free(3);
  line(std::to_string(s.baseModel));
  line(s.materialName);
  free(7);
  for (int i = 1; i <= 200; ++i) line(Num(s.params[static_cast<std::size_t>(i)]));
  if (newer) free(5);
  free(1);
  line(Num(s.testType));
  line(Num(s.variant));
  if (newer) {
    line(Num(s.step4Value));
    free(1);
  }
  for (double v : {s.tolerance, s.relaxation, s.maxIterations, s.acceleration, s.realSetting2,
                   s.step10Value}) {
    line(Num(v));
  }
  if (s.version > 7) {
    line(Num(s.step11Value));
    line(Num(s.step11Setting));
  }
  line(NumLine(s.initialStress));
  if (newer) free(2);
  if (s.version < 6) line(NumLine(s.oldFlags));
  line(std::to_string(s.phases.size()));
  for (const LabTestPhase& p : s.phases) {
    line(std::to_string(p.loadSteps));
    line(Num(p.timeIncrement));
    line(NumLine(p.strain));
    line(NumLine(p.stress));
    if (s.version >= 6) line(NumLine(p.flags));
    if (newer) free(2);
  }
  return text;
}

// One test of an optimisation input file: its file name and curve names.
struct OptimisationTest {
  std::string file;
  std::vector<std::string> curves;
};

struct OptimisationFileDesc {
  int intensity = 1;
  double tolerance = 0.001;
  std::vector<int> index;                          // parameter slot of each free parameter
  std::vector<std::pair<double, double>> bounds;   // lower, upper
  std::vector<OptimisationTest> tests;
};

// Names are written in quotes, so they may hold blanks, commas and slashes.
inline std::string MakeOptimisationFile(const OptimisationFileDesc& s) {
  std::string text = std::to_string(s.index.size()) + "\n" + std::to_string(s.intensity) + "\n" +
                     Num(s.tolerance) + "\n";
  for (int i : s.index) text += std::to_string(i) + "\n";
  for (const auto& [lower, upper] : s.bounds) text += Num(lower) + " " + Num(upper) + "\n";
  text += std::to_string(s.tests.size()) + "\n";
  for (const OptimisationTest& t : s.tests) {
    text += "\"" + t.file + "\" " + std::to_string(t.curves.size()) + "\n";
    for (const std::string& c : t.curves) text += "\"" + c + "\"\n";
  }
  return text;
}

// A curve file: codes of column 1 and 2, one segment per phase, points as
// (column 1, column 2).
inline std::string MakeCurveFile(int code1, int code2,
                                 const std::vector<std::vector<std::pair<double, double>>>& segments,
                                 int multiSegmentFlag = 0) {
  std::string text = std::to_string(code1) + " " + std::to_string(code2) + "\n" +
                     std::to_string(segments.size()) + "\n" + std::to_string(multiSegmentFlag) + "\n";
  for (const auto& seg : segments) text += std::to_string(seg.size()) + "\n";
  for (const auto& seg : segments) {
    for (const auto& [a, b] : seg) text += Num(a) + " " + Num(b) + "\n";
  }
  return text;
}

}  // namespace soilcal::testing
