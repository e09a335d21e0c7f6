// The kinds of laboratory test, one name each. The name is what a TOML job
// writes as a test's `type`, what the JSON outputs and the Python module
// call the test, and, read with spaces, what the report heads it with.
//
// A test's kind is recognised from the control of its phases (which
// components are prescribed in stress or in strain and how they are loaded),
// whether the test came from a TOML template, a native test file or a lab
// file: RecogniseTestType is the one recogniser.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/records.hpp"

namespace soilcal::input {

enum class TestKind {
  kGeneral,                  // no familiar pattern: plotted component by component
  kTriaxialCompression,      // lateral stress held, the axial direction compressed
  kTriaxialExtension,        // lateral stress held, the axial direction extended
  kOedometer,                // lateral strains held at zero, axial loading
  kIsotropicCompression,     // the three normal components loaded alike
  kDirectSimpleShear,        // one shear component loaded
  kCyclicDirectSimpleShear,  // a shear component reversed at least twice
  kCyclicTriaxial,           // the deviator reversed at least twice
};

// "triaxial_compression", "direct_simple_shear", "cyclic_triaxial", ...
std::string_view TestKindName(TestKind kind);
// The kind of a name; also takes the spellings of earlier versions
// ("simple_shear", "cyclic_simple_shear").
std::optional<TestKind> TestKindByName(std::string_view name);
// Every kind's name, in the order of the enumeration's templates.
std::vector<std::string> TestKindNames();
bool IsCyclic(TestKind kind);

struct TestType {
  TestKind kind = TestKind::kGeneral;
  int axial = 1;           // normal component 0..2 of the axial (vertical) direction
  int shear = -1;          // shear component 3..5 of simple shear, -1 for none
  bool unconfined = false; // triaxial compression without confining stress
  int reversals = 0;       // changes of direction of the shear or the deviator
  // A cyclic test whose time counts its cycles: every loaded phase a
  // quarter (0.25) or a half cycle (0.5) of time, as the cyclic templates
  // and the lab-file readers write them.
  bool timeInCycles = false;
};

// The test type from the phases of `test` (phases without load steps apply
// nothing and are left out).
TestType RecogniseTestType(const LabTest& test);

// The kind's name read with spaces ("direct simple shear"), or "unconfined
// compression" for triaxial compression without a confining stress.
std::string TestTypeText(const TestType& type);

// Component names "xx", "yy", "zz", "xy", "yz", "zx" (index 0..5).
std::string_view ComponentName(int component);

}  // namespace soilcal::input
