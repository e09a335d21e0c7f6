// The kind of laboratory test a test file describes, recognised from the
// control of its phases: which components are prescribed in stress or in
// strain and how they are loaded. The reports choose their plots by it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "input/records.hpp"

namespace soilcal::labtest {

enum class TestKind {
  kGeneral,               // no familiar pattern: plotted component by component
  kTriaxialCompression,   // lateral stress held, the axial direction compressed
  kTriaxialExtension,     // lateral stress held, the axial direction extended
  kOedometer,             // lateral strains held at zero, axial loading
  kIsotropicCompression,  // the three normal components loaded alike
  kSimpleShear,           // one shear component loaded
  kCyclic,                // shear or deviator reversed at least twice
};

struct TestType {
  TestKind kind = TestKind::kGeneral;
  int axial = 1;           // normal component 0..2 of the axial (vertical) direction
  int shear = -1;          // shear component 3..5 of simple shear, -1 for none
  bool unconfined = false; // triaxial compression without confining stress
  int reversals = 0;       // changes of direction of the shear or the deviator
};

// The test type from the phases of `test` (phases without load steps apply
// nothing and are left out).
TestType RecogniseTestType(const input::LabTest& test);

// "triaxial compression", "cyclic simple shear", "unconfined compression" ...
std::string TestTypeText(const TestType& type);
// Stable key for files: "triaxial_compression", "oedometer", "cyclic" ...
std::string_view TestKindKey(TestKind kind);
std::optional<TestKind> TestKindFromKey(std::string_view key);

// Component names "xx", "yy", "zz", "xy", "yz", "zx" (index 0..5).
std::string_view ComponentName(int component);

}  // namespace soilcal::labtest
