// Reading what the programs write: the point table of soilcal-labtest, the
// result file and the simulated-curve files.
//
// Sign conventions of the program: tension positive, so a cell pressure of
// 100 is a stress of -100 and axial compression is a negative strain.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace soilcal::testing {

// ---- the point table of soilcal-labtest ----------------------------------

struct RecordedPoint {
  int point = 0;
  int phase = 0;
  double time = 0.0;
  std::array<double, 6> eps{};  // xx yy zz xy yz zx, shear as engineering strain
  std::array<double, 6> sig{};  // effective stresses, same order
  double pw = 0.0;

  double AxialStrain() const { return -eps[1]; }              // compression positive (yy axial)
  double VolumetricStrain() const { return eps[0] + eps[1] + eps[2]; }  // expansion positive
  // Lateral minus axial stress: q, positive in triaxial compression.
  double Deviator() const { return sig[0] - sig[1]; }
  double MeanEffective() const { return (sig[0] + sig[1] + sig[2]) / 3.0; }
};

struct LabTestOutput {
  int exitStatus = -1;
  std::string headerLine;             // first line of standard output
  std::vector<RecordedPoint> points;  // one per line after the header
  int badLines = 0;                   // lines that do not hold 16 numbers
  std::string err;
};

// Runs soilcal-labtest on `fileName` in `dir` and parses its table.
LabTestOutput RunLabTestProgram(const std::filesystem::path& dir, const std::string& fileName,
                                const std::vector<std::string>& options = {});

// ---- the result file and the simulated-curve files -----------------------

struct KeyLine {
  std::string key;
  std::string value;  // the text after " = "
};

struct ResultSection {
  std::string name;
  std::vector<KeyLine> keys;
};

struct ResultFile {
  std::vector<ResultSection> sections;
  std::vector<std::string> badLines;  // lines that are not blank-led key, header or empty lines
};

ResultFile ParseResultFile(const std::string& text);
// The section named `name`, or nullptr.
const ResultSection* FindSection(const ResultFile& file, const std::string& name);
// Numeric value of `key` in section `section`; NaN when missing.
double KeyValue(const ResultFile& file, const std::string& section, const std::string& key);
// The result text without the two timing lines, for run-to-run comparison.
std::string WithoutTimingLines(const std::string& text);

struct SimulatedCurve {
  bool headerOk = false;  // first line is " xcode ycode"
  int xCode = 0;
  int yCode = 0;
  std::vector<std::pair<double, double>> points;
  int badLines = 0;
};

SimulatedCurve ReadSimulatedCurve(const std::filesystem::path& file);

}  // namespace soilcal::testing
