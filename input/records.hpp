// The records of a calibration job as read from its files. Once the readers
// are done, a Job is never changed again: every evaluation reads it and keeps
// what it changes in its own simulation context.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/job_language.hpp"

namespace soilcal::input {

// A file name as the optimisation file lists it, for messages: the whole
// name as written (before any cut to its field's length) and its line.
struct ListedName {
  std::string name;
  int line = 0;
};

// One measured (or simulated) curve.
struct Curve {
  int xCode = 0;               // quantity code of the independent axis (sign kept)
  int yCode = 0;               // quantity code of the dependent axis (sign kept)
  bool multiSegment = false;   // flag 1 in the file, or more than one segment
  bool swapped = false;        // the file's two columns were exchanged on reading
  int nSegments = 0;           // must equal the test's number of phases
  std::vector<int> segmentSizes;  // points per segment (phase), in phase order
  int nPoints = 0;             // sum of the segment sizes
  std::vector<double> x;       // nPoints values (none when nPoints < 1)
  std::vector<double> y;
  int codesLine = 0;           // line of the quantity codes in the curve file
};

// The material block of a lab-test file, as read.
struct MaterialInput {
  std::string header;                      // header text of the file (line 1), trailing blanks cut
  int baseModel = 0;                       // model number of the material block
  std::array<double, 256> params{};        // 1-based: params[1..200] read, 31..80 user-model values
  std::string name;                        // material name (user-model library name for 21..30)
  double referencePressure = 100000.0;     // 100 kPa in the file's force and length units
  double timeFactor = 1.0;                 // length of the file's time unit in seconds
  // Names of the file's units as read ("kN", "m", "day"); a name the reader
  // does not know leaves the previous one, as it leaves the value.
  std::string forceUnit = "N";
  std::string lengthUnit = "m";
  std::string timeUnit = "s";
  int version = 0;                         // file version (header line 1)
  double headerValue = 10.0;               // header line 7 (versions above 8), else 10
};

// One laboratory test: its file, its description and its measured curves.
struct LabTest {
  std::string testFile;         // project folder + bare file name
  ListedName listed;            // the test file's name and line in the optimisation file
  int testType = 0;             // nearest integer of the value read; 6 = cavity
  int testTypeLine = 0;         // line of the test type in the lab-test file
  int modelNumber = 0;          // base model + 100 * (variant + 1)
  int maxIterations = 200;      // at least 200
  int accelerationFlag = 0;     // non-zero: IterationAcceleration on
  std::array<int, 6> controlFlags{};  // ControlFlags of the last phase (v>=6) or of step 14
  double tolerance = 0.01;
  // [0] relaxation factor, [1..3] real settings 2 to 4
  std::array<double, 4> realSettings{1.0, 0.0, 0.0, 0.0};
  std::array<double, 6> initialStress{};
  int nPhases = 0;
  int capacity = 1;             // 1 + sum of load steps: recorded-point capacity
  std::vector<double> timeIncrement;               // per phase, in the file's time unit
  std::vector<int> loadSteps;                      // per phase
  std::vector<std::array<double, 6>> prescribedStrain;  // per phase, total over the phase
  std::vector<std::array<double, 6>> prescribedStress;  // per phase, total over the phase
  std::vector<std::array<int, 6>> phaseFlags;      // per phase: 1 stress, 0 strain prescribed
  // Values the file carries for the simulation without a settled meaning.
  double step4Value = 0.0;      // version > 8, step 4
  double step10Value = 0.0;     // model value for base models 6 and 19
  double step11Value = 0.0;     // version > 7
  int step11Setting = 0;

  MaterialInput material;       // the material block of this test's file

  int nCurves = 0;
  std::vector<std::string> curveFiles;  // project folder + bare name, cut to 80 characters
  std::vector<ListedName> listedCurves; // each curve file as listed, with its line
  std::vector<Curve> curves;

  int BaseModel() const { return modelNumber % 100; }
};

// Optimisation settings of the job.
struct OptimisationSettings {
  int nParams = 0;              // number of free parameters
  int intensity = 1;            // 1, 2 or 3
  double tolerance = 0.0;       // relative tolerance of the convergence test
  std::vector<int> index;       // material-parameter slot of each free parameter (1..255)
  std::vector<double> lower;    // lower bound of each free parameter
  std::vector<double> upper;    // upper bound of each free parameter
};

// Lines of the optimisation file that give the settings, for messages.
struct SettingLines {
  int intensity = 0;
  int tests = 0;                // the number of tests
  std::vector<int> index;       // the slot of each free parameter
};

// A whole job, immutable once read.
struct Job {
  std::string argument;         // the upper-cased program argument
  std::string projectFolder;    // with trailing separator, or ".\\" semantics (see paths)
  OptimisationSettings settings;
  SettingLines settingLines;    // where the optimisation file gives them
  std::vector<LabTest> tests;   // in list order
  // Material set 1 as read: the material of the last test file read, which
  // the program calibrates.
  MaterialInput material;
  int modelNumber = 0;          // model number left by the last test read
  // Names, units and signs of a job written from a TOML job file
  // (job_language.json beside the optimisation file); none for a native job.
  std::optional<JobLanguage> language;
  // Run settings of the job, fixed before the first simulation.
  // Sekiguchi-Ohta (31, 32) in the lab-test stiffness routine, asked for by
  // --extended-models or the flag file "extended_models" in the job folder;
  // without it those models are refused there.
  bool extendedModels = false;
};

}  // namespace soilcal::input
