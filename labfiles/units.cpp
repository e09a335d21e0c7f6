#include "labfiles/units.hpp"

#include <cctype>

#include "labfiles/text.hpp"

namespace soilcal::labfiles {
namespace {

struct Unit {
  UnitKind kind;
  std::string_view name;  // lower case, without blanks
  double factor;
};

constexpr Unit kUnits[] = {
    {UnitKind::kStress, "kpa", 1.0},
    {UnitKind::kStress, "kn/m2", 1.0},
    {UnitKind::kStress, "kn/m²", 1.0},
    {UnitKind::kStress, "mpa", 1000.0},
    {UnitKind::kStress, "mn/m2", 1000.0},
    {UnitKind::kStress, "n/mm2", 1000.0},
    {UnitKind::kStress, "pa", 0.001},
    {UnitKind::kStress, "psi", 6.894757293168361},
    {UnitKind::kStress, "bar", 100.0},
    {UnitKind::kLength, "mm", 1.0},
    {UnitKind::kLength, "cm", 10.0},
    {UnitKind::kLength, "m", 1000.0},
    {UnitKind::kVolume, "mm3", 1.0},
    {UnitKind::kVolume, "mm^3", 1.0},
    {UnitKind::kVolume, "mm³", 1.0},
    {UnitKind::kVolume, "cm3", 1000.0},
    {UnitKind::kVolume, "cm^3", 1000.0},
    {UnitKind::kVolume, "cm³", 1000.0},
    {UnitKind::kVolume, "cc", 1000.0},
    {UnitKind::kVolume, "ml", 1000.0},
    {UnitKind::kForce, "kn", 1.0},
    {UnitKind::kForce, "n", 0.001},
    {UnitKind::kStrain, "%", 0.01},
    {UnitKind::kStrain, "‰", 0.001},
    {UnitKind::kStrain, "-", 1.0},
    {UnitKind::kStrain, "", 1.0},
    {UnitKind::kTime, "s", 1.0},
    {UnitKind::kTime, "min", 60.0},
    {UnitKind::kTime, "h", 3600.0},
    {UnitKind::kNone, "", 1.0},
    {UnitKind::kNone, "-", 1.0},
};

std::string Compact(std::string_view unit) {
  std::string out;
  for (char c : unit) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

std::optional<double> UnitFactor(UnitKind kind, std::string_view unit) {
  const std::string u = Compact(unit);
  for (const Unit& k : kUnits) {
    if (k.kind == kind && k.name == u) return k.factor;
  }
  return std::nullopt;
}

std::string UnitsOf(UnitKind kind) {
  switch (kind) {
    case UnitKind::kStress: return "kPa, MPa, Pa, psi, bar or kN/m2";
    case UnitKind::kLength: return "mm, cm or m";
    case UnitKind::kVolume: return "mm³ (mm3), cm³ (cm3, cc, ml)";
    case UnitKind::kForce: return "kN or N";
    case UnitKind::kStrain: return "%, ‰ or - (a fraction)";
    case UnitKind::kTime: return "s, min or h";
    case UnitKind::kNone: return "- (none)";
  }
  return "";
}

NameAndUnit SplitUnit(std::string_view header) {
  std::string_view h = header;
  while (!h.empty() && std::isspace(static_cast<unsigned char>(h.back()))) h.remove_suffix(1);
  if (!h.empty() && (h.back() == ')' || h.back() == ']')) {
    const char open = h.back() == ')' ? '(' : '[';
    const std::size_t at = h.rfind(open);
    if (at != std::string_view::npos) {
      return {NormalName(h.substr(0, at)), std::string(h.substr(at + 1, h.size() - at - 2))};
    }
  }
  return {NormalName(h), ""};
}

}  // namespace soilcal::labfiles
