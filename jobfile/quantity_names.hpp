// Quantity names of the job file and the native quantity codes behind them.
//
// Every quantity is given as soil mechanics gives it: normal stresses and
// strains compression positive (volumetric strain positive in contraction),
// stresses effective unless named total, strains as fractions, the axial
// (vertical) direction is yy. Shear components keep the program's sign (a
// positive shear strain gives a positive shear stress). A quantity becomes a
// native code and a factor: the job's value = factor * (value of the code).
//
// A curve file's quantity that the test prescribes is read as its abscissa
// (input::IsPrescribed). The writer therefore chooses, among the codes that
// give the same value in the test at hand, a pair that the curve reader reads
// in the orientation the job file means, and refuses a pair that it cannot.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/test_kind.hpp"

namespace soilcal::jobfile {

enum class QuantityKind { kStrain, kStress, kTime, kRatio, kCount };

struct Quantity {
  std::string_view name;   // "axial_strain"
  std::string_view words;  // for the README and messages
  QuantityKind kind = QuantityKind::kStrain;
  int code = 0;            // native code of its value, sign included
  double factor = 1.0;     // job value = factor * value of the code
};

// All quantity names; the common ones first.
std::span<const Quantity> Quantities();
const Quantity* FindQuantity(std::string_view name);
std::vector<std::string> QuantityNames();

// What the choice of codes depends on.
struct TestFacts {
  // The template the test is made by (general when none gives it exactly).
  input::TestKind kind = input::TestKind::kGeneral;
  // xx and zz strain-prescribed at zero in every phase: the volumetric strain
  // is exactly the axial strain.
  bool lateralStrainFixed = false;
  std::array<int, 6> flags{};  // control flags of the last phase
  int testType = 1;
  // σ′v0, compression positive: the stress the excess pore pressure ratio
  // is taken of.
  double initialVerticalStress = 0.0;
};

// A quantity's code and conversion in a test: the job's value is
// factor * (value of the code) / per.
struct NativeAxis {
  int code = 0;
  double factor = 1.0;
  double per = 1.0;  // a constant of the test (σ′v0 for r_u), else 1
};

// The codes that give `q` in a test with `facts`, preferred first; none
// where the test has no such quantity (r_u of a test that does not start
// under a vertical stress, the cycles of a test that is not cyclic).
std::vector<NativeAxis> Candidates(const Quantity& q, const TestFacts& facts);

// The codes of a curve of x against y, or nullopt when every choice would
// make the curve reader take y as the abscissa.
struct CodePair {
  NativeAxis x, y;
};
std::optional<CodePair> ChooseCodes(const Quantity& x, const Quantity& y, const TestFacts& facts);

// The way back: quantity names and column signs (+1, or -1 for a column
// holding the negated quantity) for which ChooseCodes gives exactly the codes
// cx and cy with factor 1; common names and positive signs preferred.
struct NamedAxis {
  const Quantity* quantity = nullptr;
  double scale = 1.0;
};
struct NamedPair {
  NamedAxis x, y;
};
std::optional<NamedPair> NameCodes(int cx, int cy, const TestFacts& facts);

}  // namespace soilcal::jobfile
