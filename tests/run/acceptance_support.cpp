#include "acceptance_support.hpp"

#include <fstream>

namespace soilcal::acceptance {

namespace fs = std::filesystem;

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil) {
  std::array<double, 201> p{};
  p[1] = soil.G;
  p[2] = soil.nu;
  p[3] = soil.sinPhi;
  p[4] = soil.c;
  p[5] = soil.sinPsi;
  p[16] = soil.tension;
  p[20] = 0.5;  // initial porosity
  p[28] = soil.nuU;
  return p;
}

testing::LabTestPhase TriaxialPhase(double axialStrain, int steps) {
  testing::LabTestPhase phase;
  phase.loadSteps = steps;
  phase.timeIncrement = 1.0;
  phase.strain = {0.0, axialStrain, 0.0, 0.0, 0.0, 0.0};
  phase.flags = {1, 0, 1, 1, 1, 1};
  return phase;
}

testing::LabTestPhase OedometerPhase(double axialStrain, int steps) {
  testing::LabTestPhase phase = TriaxialPhase(axialStrain, steps);
  phase.flags = {0, 0, 0, 0, 0, 0};
  return phase;
}

testing::LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params,
                                 double cell, std::vector<testing::LabTestPhase> phases) {
  testing::LabTestFileDesc testFile;
  testFile.version = 6;
  testFile.header = "acceptance test";
  testFile.baseModel = baseModel;
  testFile.params = params;
  testFile.testType = 1.0;
  testFile.initialStress = {-cell, -cell, -cell, 0.0, 0.0, 0.0};
  testFile.phases = std::move(phases);
  return testFile;
}

LabTestOutput RunTightly(const fs::path& dir, const testing::LabTestFileDesc& testFile) {
  testing::LabTestFileDesc tight = testFile;
  tight.tolerance = 1e-6;
  std::ofstream(dir / "MODEL.VLT", std::ios::binary) << testing::MakeLabTestFile(tight);
  return RunLabTestProgram(dir, "MODEL.VLT");
}

std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc) {
  std::array<double, 201> p{};
  p[1] = 25000.0;
  p[2] = 0.2;
  p[3] = sinPhi;
  p[4] = c;
  p[20] = 0.5;  // porosity between nmin (0) and nmax: no dilatancy cut-off
  p[22] = 0.99;
  p[34] = 0.5;
  p[35] = 100.0;
  p[37] = 0.9;
  p[38] = 20000.0;
  p[39] = k0nc;
  p[40] = 20000.0;
  return p;
}

bool CapLibraryBuilt() {
  for (const char* name : {"libzarirude.so", "zarirude.dll", "zarirude.so"}) {
    if (fs::exists(testing::BuildPath(name))) return true;
  }
  return false;
}

}  // namespace soilcal::acceptance
