// Calibration jobs written by the tests: the optimisation input file, one
// lab-test file (version 6) and curve files, plus running the program. The
// texts come from the writers of tests/support/.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/process.hpp"

namespace soilcal::testing {

// A drained triaxial test on a Mohr-Coulomb material in kN and m: isotropic
// stress of -100, then `steps` load steps to an axial strain of -5 % with the
// lateral stresses held.
struct LabTestDesc {
  int baseModel = 2;
  double testType = 1.0;
  std::array<double, 201> params{};  // slots 1..200; zero gives the defaults below
  int nPhases = 1;
  int steps = 20;
  LabTestDesc();
};

struct CurveDesc {
  int xCode = -14;
  int yCode = 5;
  int nSegments = 1;
  std::vector<std::pair<double, double>> points;
};

struct OptimisationDesc {
  std::vector<int> index = {1, 3};
  std::vector<std::pair<double, double>> bounds = {{5000.0, 60000.0}, {0.4, 0.72}};
  int intensity = 1;
  double tolerance = 0.001;
  // Test file name, then its curve file names.
  std::vector<std::pair<std::string, std::vector<std::string>>> tests = {
      {"TRIAX1.VLT", {"Q_EPS.TXT"}}};
};

std::string LabTestFileText(const LabTestDesc& desc);
std::string CurveFileText(const CurveDesc& desc);
std::string OptimisationFileText(const OptimisationDesc& desc);

// Deviator against axial strain (codes -14 and 5) of a Mohr-Coulomb sand,
// E = 60000, phi = 38 degrees, c = 1, at a cell pressure of 100.
CurveDesc DeviatorCurve();

using ProgramRun = ProcessRun;

// Runs `program` in `folder` with the argument (none when nullopt).
ProgramRun RunProgram(const std::string& program, const std::optional<std::string>& argument,
                      const std::string& folder);

}  // namespace soilcal::testing
