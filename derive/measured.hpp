// What the start-value rules read: the measured tests of a job in the job's
// own terms. Stresses are effective and compression positive, strains are
// fractions and compression positive (volumetric strain positive in
// contraction), all in the job's units. A front end fills these records
// from whatever it read (a TOML job, a lab file); the rules never see files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/test_kind.hpp"

namespace soilcal::derive {

using input::TestKind;

// Points of one measured curve, x ascending or in the order measured.
struct Series {
  std::vector<double> x;
  std::vector<double> y;
  std::size_t size() const { return x.size(); }
};

// One curve under the job's quantity names ("axial_strain", "deviator_stress").
struct MeasuredCurve {
  std::string x;
  std::string y;
  Series points;
};

struct MeasuredTest {
  std::string name;
  TestKind kind = TestKind::kGeneral;
  bool drained = true;
  double cellPressure = 0.0;    // triaxial tests: σ′3 at the start of shearing
  double initialStress = 0.0;   // oedometer σ′v0, isotropic p′0, simple shear σ′v
  std::vector<MeasuredCurve> curves;
};

// The points of quantity `y` against quantity `x` in `test`: from a curve of
// exactly those quantities (either axis order), else from two curves that
// share an abscissa (q against ε1 and p′ against ε1 give q against p′). Names
// of the same value in the test count as one (deviator_stress and
// principal_stress_difference in compression). nullopt when no curve has them.
std::optional<Series> FindSeries(const MeasuredTest& test, std::string_view x,
                                 std::string_view y);

// True when the test is triaxial (compression or extension).
bool IsTriaxial(const MeasuredTest& test);

}  // namespace soilcal::derive
