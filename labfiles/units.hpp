// Units of the laboratory's columns and their factors to the readers' own
// units: kPa for stresses, mm for lengths, mm³ for volumes, kN for forces,
// fractions for strains.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace soilcal::labfiles {

enum class UnitKind { kStress, kLength, kVolume, kForce, kStrain, kTime, kNone };

// The factor that turns a value in `unit` into the kind's own unit, or
// nullopt when the unit is not one of the kind's. Letter case, blanks and
// the spellings "mm3", "mm^3" and "mm³" are all accepted.
std::optional<double> UnitFactor(UnitKind kind, std::string_view unit);

// "kPa, MPa, Pa, psi, ..." for messages.
std::string UnitsOf(UnitKind kind);

// A header "Radial Pressure (kPa)" or "q [kPa]" split into its normal name
// ("radial pressure") and its unit ("kPa"; empty when it has none).
struct NameAndUnit {
  std::string name;
  std::string unit;
};
NameAndUnit SplitUnit(std::string_view header);

}  // namespace soilcal::labfiles
