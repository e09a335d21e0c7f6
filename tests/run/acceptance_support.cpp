#include "acceptance_support.hpp"

#include <fstream>

namespace soilcal::acceptance {

namespace fs = std::filesystem;

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil) {
  std::array<double, 201> p{};
  const std::pair<int, double> slots[] = {
      {1, soil.G}, {2, soil.nu}, {3, soil.sinPhi}, {4, soil.c}, {5, soil.sinPsi},
      {16, soil.tension}, {20, 0.5}, {28, soil.nuU}};  // 20: initial porosity
  for (const auto& [slot, value] : slots) p[slot] = value;
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
  return {.version = 6, .header = "acceptance test", .baseModel = baseModel, .params = params,
          .testType = 1.0, .initialStress = {-cell, -cell, -cell, 0.0, 0.0, 0.0},
          .phases = std::move(phases)};
}

LabTestOutput RunTightly(const fs::path& dir, const testing::LabTestFileDesc& testFile) {
  testing::LabTestFileDesc tight = testFile;
  tight.tolerance = 1e-6;
  std::ofstream(dir / "MODEL.VLT", std::ios::binary) << testing::MakeLabTestFile(tight);
  return RunLabTestProgram(dir, "MODEL.VLT");
}

std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc) {
  std::array<double, 201> p{};
  const std::pair<int, double> slots[] = {
      {1, 25000.0}, {2, 0.2}, {3, sinPhi}, {4, c},
      {20, 0.5}, {22, 0.99},  // 20: porosity between nmin (0) and nmax: no dilatancy cut-off
      {34, 0.5}, {35, 100.0}, {37, 0.9}, {38, 20000.0}, {39, k0nc}, {40, 20000.0}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  return p;
}

bool CapLibraryBuilt() {
  for (const char* name : {"libzarirude.so", "zarirude.dll", "zarirude.so"}) {
    if (fs::exists(testing::BuildPath(name))) return true;
  }
  return false;
}

}  // namespace soilcal::acceptance
