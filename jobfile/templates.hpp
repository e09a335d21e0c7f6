// Test templates: a laboratory test as an engineer names it ("drained
// triaxial compression at 100 kPa to 10 % axial strain") turned into the
// loading of the program's material point (initial stress and phases, tension
// positive, each component stress- or strain-prescribed), and recognised
// back from it.
//
// The axial (vertical) direction is yy; the radial directions are xx and zz.
// Template values are compression positive, in the job's units.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/cyclic_tests.hpp"
#include "input/phases.hpp"
#include "input/records.hpp"
#include "input/test_kind.hpp"
#include "jobfile/quantity_names.hpp"
#include "jobfile/stage_branches.hpp"

namespace soilcal::jobfile {

// A template makes a test of one kind of input/test_kind.hpp and is named
// as that kind ("triaxial_compression", ..., "general").

// One loading phase as the program runs it: totals over the phase, tension
// positive, flags 1 stress and 0 strain prescribed.
// The phases of a template are the one phase record of every test.
using input::Phase;

struct Loading {
  int testType = 1;                    // the lab-test file's test type
  std::array<double, 6> initialStress{};
  std::vector<input::Phase> phases;
};

// The values of a template test, compression positive.
struct TemplateValues {
  input::TestKind kind = input::TestKind::kTriaxialCompression;
  // Triaxial tests: isotropic start at the cell pressure (the axial stress
  // may start elsewhere), then the axial strain is taken to its final value.
  double cellPressure = 0.0;
  std::optional<double> initialAxialStress;
  double axialStrain = 0.0;            // its size; the template gives the sense
  // Oedometer, isotropic compression, direct simple shear: the start stress.
  double initialVerticalStress = 0.0;  // isotropic compression: the initial pressure
  std::optional<double> initialHorizontalStress;  // none: equal to the vertical
  // Stress levels (or, for an oedometer under strain control, vertical
  // strains), one per load stage; each monotonic run of them is one phase
  // (jobfile/stage_branches.hpp). A stress-controlled phase ends `overshoot`
  // past its last level; a strain-controlled one meets it exactly.
  std::vector<double> levels;
  std::vector<double> strains;
  double overshoot = kDefaultOvershoot;
  double shearStrain = 0.0;            // direct simple shear: final γxy
  bool constantHeight = false;         // direct simple shear: εyy held instead of σyy
  std::vector<int> steps;              // per phase (cyclic tests: one, per half cycle)
  std::vector<double> time;            // per phase (cyclic tests: none, the period is 1)
  // Cyclic tests (input/cyclic_tests.hpp): the simple shear test starts
  // from initialVerticalStress with k0 and cycles tau_xy by `amplitude`, or
  // by cyclicStressRatio times the vertical stress; the triaxial test starts
  // from cellPressure and cycles the deviator by `amplitude`.
  double k0 = 1.0;
  double amplitude = 0.0;
  std::optional<double> cyclicStressRatio;
  int cycles = 0;
};

// Load steps per half cycle of a cyclic test that gives none.
inline constexpr int kCyclicStepsPerHalfCycle = 20;

// The cyclic test's description, from the plain builders of
// input/cyclic_tests.hpp.
input::TestDescription CyclicDescription(const TemplateValues& v);

// Number of values `steps` and `time` may give one by one: one per level or
// strain (summed over the levels of a branch), two per cycle and one more
// for a cyclic test, else one.
std::size_t PhaseCount(const TemplateValues& v);
// The load branches of a test by levels (none for other templates).
std::vector<Branch> BranchesOf(const TemplateValues& v);
Loading Expand(const TemplateValues& v);
// The template whose expansion is exactly this test's loading, if any: the
// values of a template of the test's recognised kind (input::RecogniseTestType).
std::optional<TemplateValues> Recognise(const input::LabTest& test);
// The loading of a lab-test record.
Loading LoadingOf(const input::LabTest& test);
// Puts the loading into a lab-test record (phases, flags, capacity).
void ApplyLoading(const Loading& loading, input::LabTest& test);

// What the choice of curve codes needs to know of a test.
TestFacts FactsOf(input::TestKind kind, const Loading& loading);

// The sign of a normal component in the job's convention: compression
// positive for normal components, the program's sign for shear components.
// Zero stays +0.
double FromJobSign(int component, double value);

}  // namespace soilcal::jobfile
