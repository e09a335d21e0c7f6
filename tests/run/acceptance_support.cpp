#include "acceptance_support.hpp"

#include <gtest/gtest.h>

namespace soilcal::acceptance {

namespace fs = std::filesystem;

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil) {
  return ParamSlots({{1, soil.G}, {2, soil.nu}, {3, soil.sinPhi}, {4, soil.c}, {5, soil.sinPsi},
                     {16, soil.tension}, {20, 0.5}, {28, soil.nuU}});  // 20: initial porosity
}

MohrCoulombSoil Soil(double G, double sinPhi) {
  MohrCoulombSoil soil;
  soil.G = G;
  soil.sinPhi = sinPhi;
  return soil;
}

LabTestPhase TriaxialPhase(double axialStrain, int steps) {
  return {.loadSteps = steps, .timeIncrement = 1.0,
          .strain = {0.0, axialStrain, 0.0, 0.0, 0.0, 0.0}, .flags = {1, 0, 1, 1, 1, 1}};
}

LabTestPhase OedometerPhase(double axialStrain, int steps) {
  LabTestPhase phase = TriaxialPhase(axialStrain, steps);
  phase.flags = {0, 0, 0, 0, 0, 0};
  return phase;
}

LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params, double cell,
                        std::vector<LabTestPhase> phases) {
  return {.version = 6, .header = "acceptance test", .baseModel = baseModel, .params = params,
          .testType = 1.0, .initialStress = {-cell, -cell, -cell, 0.0, 0.0, 0.0},
          .phases = std::move(phases)};
}

void WriteTriaxial(const TempDir& dir, const std::string& name, const MohrCoulombSoil& soil,
                   double cell) {
  dir.Write(name, MakeLabTestFile(LabTest(2, MohrCoulombParams(soil), cell,
                                          {TriaxialPhase(-0.05, 100)})));
}

OptimisationFileDesc GrefAndPhi(int intensity) {
  return {.intensity = intensity, .index = {1, 3}, .bounds = {{5000.0, 20000.0}, {0.3, 0.7}},
          .tests = {}};
}

ResultFile RunJob(const TempDir& dir, const OptimisationFileDesc& opt) {
  dir.Write("OPTIM.TXT", MakeOptimisationFile(opt));
  EXPECT_EQ(RunSoilcal((dir.path() / "OPTIM.TXT").string(), dir.path()).exitStatus, 0);
  const std::string text = dir.Read("Optimization_result.txt");
  const ResultFile result = ParseResultFile(text);
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 0.0) << text;
  return result;
}

MohrCoulombSoil Calibrated(const ResultFile& result) {
  return Soil(KeyValue(result, "Params", "Gref"), KeyValue(result, "Params", "phi"));
}

LabTestOutput RunLabTest(const LabTestFileDesc& testFile) {
  const TempDir dir;
  dir.Write("MODEL.VLT", MakeLabTestFile(testFile));
  return RunLabTestProgram(dir.path(), "MODEL.VLT");
}

LabTestOutput RunTightly(const LabTestFileDesc& testFile) {
  LabTestFileDesc tight = testFile;
  tight.tolerance = 1e-6;
  return RunLabTest(tight);
}

// Slots 20 and 22: a porosity between nmin (0) and nmax, so no dilatancy
// cut-off.
std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc) {
  return ParamSlots({{1, 25000.0}, {2, 0.2}, {3, sinPhi}, {4, c}, {20, 0.5}, {22, 0.99},
                     {34, 0.5}, {35, 100.0}, {37, 0.9}, {38, 20000.0}, {39, k0nc}, {40, 20000.0}});
}

std::vector<std::pair<double, double>> MeasuredDeviator(const MohrCoulombSoil& soil, double cell) {
  std::vector<std::pair<double, double>> points;
  for (int i = 1; i <= 49; ++i) {
    points.emplace_back(0.001 * i, TriaxialDeviator(soil, cell, 0.001 * i));
  }
  return points;
}

double DeviatorError(const MohrCoulombSoil& soil, const MohrCoulombSoil& truth, double cell) {
  double sum = 0.0;
  for (const auto& [ea, measured] : MeasuredDeviator(truth, cell)) {
    sum += std::abs(measured - TriaxialDeviator(soil, cell, ea)) / measured;
  }
  return 100.0 * sum / 49.0;
}

bool CapLibraryBuilt() {
  for (const char* name : {"libzarirude.so", "zarirude.dll", "zarirude.so"}) {
    if (fs::exists(BuildPath(name))) return true;
  }
  return false;
}

}  // namespace soilcal::acceptance
