// The type of a laboratory test from the control of its phases, on tests
// built in code and on the shipped example files.
#include <gtest/gtest.h>

#include "input/readers.hpp"
#include "input/test_kind.hpp"
#include "labtest/lab_records.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

using input::TestKind;

constexpr std::array<double, 6> kCell{-100, -100, -100, 0, 0, 0};

// Lateral stress held (xx, zz), axial strain `strain` along yy.
Phase Triaxial(double strain) {
  Phase p;
  p.strain = {0, strain, 0, 0, 0, 0};
  p.flags = {1, 0, 1, 1, 1, 1};
  return p;
}

// Shear strain along xy with the vertical stress (yy) held and no lateral strain.
Phase SimpleShear(double gamma) {
  Phase p;
  p.strain = {0, 0, 0, gamma, 0, 0};
  p.flags = {0, 1, 0, 0, 1, 1};
  return p;
}

Phase Stress(std::array<double, 6> stress) {
  Phase p;
  p.stress = stress;
  return p;
}

TEST(TestType, RecognisedFromTheControlOfThePhases) {
  Phase oedometerStrain;
  oedometerStrain.strain = {0, -0.02, 0, 0, 0, 0};
  oedometerStrain.flags = {0, 0, 0, 0, 0, 0};
  Phase oedometerLoad = Stress({0, -300, 0, 0, 0, 0});
  oedometerLoad.flags = {0, 1, 0, 0, 0, 0};
  Phase oedometerUnload = oedometerLoad;
  oedometerUnload.stress = {0, 200, 0, 0, 0, 0};
  Phase axialX = Triaxial(0);
  axialX.strain = {-0.05, 0, 0, 0, 0, 0};
  axialX.flags = {0, 1, 1, 1, 1, 1};
  Phase planeStrain;  // xx stress held, yy strained, zz held at zero strain
  planeStrain.strain = {0, -0.05, 0, 0, 0, 0};
  planeStrain.flags = {1, 0, 0, 1, 1, 1};
  Phase idleShear = SimpleShear(0.1);
  idleShear.steps = 0;  // applies nothing

  struct Case {
    const char* name;
    std::array<double, 6> initial;
    std::vector<Phase> phases;
    TestKind kind;
    int axial, shear, reversals;
    const char* text;
  };
  const Case cases[] = {
      {"drained triaxial", kCell, {Triaxial(-0.05)}, TestKind::kTriaxialCompression, 1, -1, 0,
       "triaxial compression"},
      {"consolidated, then sheared",
       kCell, {Stress({-100, -100, -100, 0, 0, 0}), Triaxial(-0.05)},
       TestKind::kTriaxialCompression, 1, -1, 0, "triaxial compression"},
      {"extension by axial strain", kCell, {Triaxial(0.05)}, TestKind::kTriaxialExtension, 1, -1, 0,
       "triaxial extension"},
      {"extension by lateral loading", kCell, {Stress({-50, 0, -50, 0, 0, 0})},
       TestKind::kTriaxialExtension, 1, -1, 0, "triaxial extension"},
      {"compression, then unloading", kCell, {Triaxial(-0.05), Triaxial(0.01)},
       TestKind::kTriaxialCompression, 1, -1, 1, "triaxial compression"},
      {"axial direction x", kCell, {axialX}, TestKind::kTriaxialCompression, 0, -1, 0,
       "triaxial compression"},
      {"unconfined", {0, 0, 0, 0, 0, 0}, {Triaxial(-0.003)}, TestKind::kTriaxialCompression, 1, -1, 0,
       "unconfined compression"},
      {"cyclic triaxial", kCell, {Triaxial(-0.01), Triaxial(0.02), Triaxial(-0.02), Triaxial(0.02)},
       TestKind::kCyclicTriaxial, 1, -1, 3, "cyclic triaxial"},
      {"oedometer in strain", kCell, {oedometerStrain}, TestKind::kOedometer, 1, -1, 0, "oedometer"},
      {"oedometer, load and unload", kCell, {oedometerLoad, oedometerUnload}, TestKind::kOedometer,
       1, -1, 1, "oedometer"},
      {"isotropic loading and unloading", kCell,
       {Stress({-200, -200, -200, 0, 0, 0}), Stress({100, 100, 100, 0, 0, 0})},
       TestKind::kIsotropicCompression, 1, -1, 1, "isotropic compression"},
      {"simple shear", kCell, {SimpleShear(0.1)}, TestKind::kDirectSimpleShear, 1, 3, 0,
       "direct simple shear"},
      {"cyclic simple shear", kCell,
       {SimpleShear(0.01), SimpleShear(-0.02), SimpleShear(0.02), SimpleShear(-0.02), SimpleShear(0.02)},
       TestKind::kCyclicDirectSimpleShear, 1, 3, 4, "cyclic direct simple shear"},
      {"shear phase without steps", kCell, {idleShear, Triaxial(-0.05)},
       TestKind::kTriaxialCompression, 1, -1, 0, "triaxial compression"},
      {"plane strain", kCell, {planeStrain}, TestKind::kGeneral, 1, -1, 0, "general"},
      {"no phases", kCell, {}, TestKind::kGeneral, 1, -1, 0, "general"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    input::LabTest test = MakeTest(102, c.initial, c.phases);
    test.material.referencePressure = 100.0;  // kN and m
    const input::TestType type = input::RecogniseTestType(test);
    EXPECT_EQ(type.kind, c.kind);
    EXPECT_EQ(type.axial, c.axial);
    EXPECT_EQ(type.shear, c.shear);
    EXPECT_EQ(type.reversals, c.reversals);
    EXPECT_EQ(input::TestTypeText(type), c.text);
    EXPECT_EQ(input::TestKindByName(input::TestKindName(type.kind)), type.kind);
  }
}

TEST(TestType, ExampleFilesAreNamedByTheirTests) {
  const std::pair<const char*, const char*> files[] = {
      {"sand_triaxial/TRIAX1.VLT", "triaxial compression"},
      {"soft_clay/OEDO1.VLT", "oedometer"},
      {"hardening_soil/OEDO.VLT", "oedometer"},
      {"ngi_adp/TXE.VLT", "triaxial extension"},
      {"ngi_adp/DSS.VLT", "direct simple shear"},
      {"hoek_brown_rock/UCS.VLT", "unconfined compression"},
      {"hoek_brown_rock/TRIAX3.VLT", "triaxial compression"},
  };
  for (const auto& [file, text] : files) {
    SCOPED_TRACE(file);
    input::LabTest record, current;
    record.testFile = SourcePath(std::string("examples/") + file);
    input::ReadLabTestInput(record, current);
    ASSERT_GT(record.nPhases, 0);
    EXPECT_EQ(input::TestTypeText(input::RecogniseTestType(record)), text);
    EXPECT_FALSE(record.material.header.empty());
  }
}

TEST(TestType, ACyclicTestCountsItsCyclesInTimeOnlyWhenItsPhasesAreQuarterAndHalfCycles) {
  input::LabTest record, current;
  record.testFile = SourcePath("examples/cyclic_sand/CDSS20.VLT");
  input::ReadLabTestInput(record, current);
  ASSERT_GT(record.nPhases, 2);
  EXPECT_EQ(input::RecogniseTestType(record).kind, TestKind::kCyclicDirectSimpleShear);
  EXPECT_TRUE(input::RecogniseTestType(record).timeInCycles);
  // A half cycle of one time unit (seconds of a lab log, say): time is time.
  record.timeIncrement[1] = 1.0;
  EXPECT_EQ(input::RecogniseTestType(record).kind, TestKind::kCyclicDirectSimpleShear);
  EXPECT_FALSE(input::RecogniseTestType(record).timeInCycles);
}

}  // namespace
}  // namespace soilcal::testing
