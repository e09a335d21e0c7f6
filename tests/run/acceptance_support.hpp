// Acceptance tests run the built programs on job folders written the way a
// host application writes them, and compare what comes out with closed-form
// soil mechanics. This header holds what those tests share: running a
// program, reading its outputs (the point table of soilcal-labtest, the
// result file, simulated-curve files) and writing lab-test files.
//
// Sign conventions of the program: tension positive, so a cell pressure of
// 100 is a stress of -100 and axial compression is a negative strain. The
// closed-form helpers below work with compression-positive magnitudes.
#pragma once

#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "input/labtest_file_writer.hpp"
#include "test_support.hpp"

namespace soilcal::acceptance {

// ---- running the programs -------------------------------------------------

struct ProcessRun {
  int exitStatus = -1;  // -1: did not end normally (crash or timeout)
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs `program` with `args` in the working folder `workDir`. A run that
// takes longer than 120 s is killed (exitStatus -1).
ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workDir);

// soilcal on the optimisation file `argument`, run in `workDir`; nullopt
// starts it without any argument.
ProcessRun RunSoilcal(const std::optional<std::string>& argument,
                      const std::filesystem::path& workDir);

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
LabTestOutput RunLabTestProgram(const std::filesystem::path& dir, const std::string& fileName);

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
std::string ReadFile(const std::filesystem::path& file);

// ---- job files ------------------------------------------------------------

// Parameters of a Mohr-Coulomb soil (model 2), in the test file's units.
struct MohrCoulombSoil {
  double G = 10000.0;  // slot 1
  double nu = 0.3;     // slot 2
  double sinPhi = 0.5; // slot 3 (30 degrees)
  double c = 5.0;      // slot 4
  double sinPsi = 0.0; // slot 5
  double tension = 0.0;  // slot 16
  double nuU = 0.0;      // slot 28, undrained Poisson's ratio
};

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil);

// One phase of axial loading: axial (yy) strain `axialStrain` (negative in
// compression) prescribed in `steps` steps, the other components held at
// constant stress (triaxial) or all strains prescribed (oedometer).
testing::LabTestPhase TriaxialPhase(double axialStrain, int steps);
testing::LabTestPhase OedometerPhase(double axialStrain, int steps);

// A version-6 test file on material `params` of `baseModel` from an
// isotropic stress of -cell, with the given phases.
testing::LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params,
                                 double cell, std::vector<testing::LabTestPhase> phases);

// Writes `testFile` with an equilibrium tolerance of 1e-6 (instead of the
// usual 0.0025) to MODEL.VLT in `dir` and runs soilcal-labtest on it.
LabTestOutput RunTightly(const std::filesystem::path& dir, const testing::LabTestFileDesc& testFile);

// Hardening Soil parameters (model 6), kN and m: E50ref 20000, Eur,ref 60000
// (Gref 25000, nu 0.2), EOedRef 20000, m 0.5, pref 100, Rf 0.9, psi 0.
std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc);
// Whether the cap library of the Hardening Soil models is built beside the
// programs (target "zarirude").
bool CapLibraryBuilt();

// ---- closed-form soil mechanics (compression positive) -------------------

inline double YoungsModulus(double G, double nu) { return 2.0 * G * (1.0 + nu); }
inline double BulkModulus(double G, double nu) {
  return 2.0 * G * (1.0 + nu) / (3.0 * (1.0 - 2.0 * nu));
}
inline double ConstrainedModulus(double G, double nu) {
  return 2.0 * G * (1.0 - nu) / (1.0 - 2.0 * nu);
}
// Deviator at Mohr-Coulomb failure in triaxial compression at cell pressure
// sigma3: q_f = 2 (c cos phi + sigma3 sin phi) / (1 - sin phi).
inline double FailureDeviator(double sinPhi, double c, double sigma3) {
  return 2.0 * (c * std::sqrt(1.0 - sinPhi * sinPhi) + sigma3 * sinPhi) / (1.0 - sinPhi);
}
// Drained triaxial deviator of an elastic, perfectly plastic Mohr-Coulomb
// soil at axial strain ea: E ea up to failure, q_f after.
inline double TriaxialDeviator(const MohrCoulombSoil& s, double sigma3, double ea) {
  return std::min(YoungsModulus(s.G, s.nu) * ea, FailureDeviator(s.sinPhi, s.c, sigma3));
}

}  // namespace soilcal::acceptance
