#include "input/units.hpp"

#include <array>
#include <string_view>

#include "services/diag.hpp"

namespace soilcal::input {
namespace {

struct Unit {
  std::string_view name;
  double size;
};

// Size in newtons.
constexpr std::array<Unit, 5> kForceUnits{{
    {"N", 1.0}, {"kN", 1000.0}, {"MN", 1.0e6}, {"lbf", 4.4482216152605}, {"kip", 4448.2216152605}}};
// Square of the length in metres: the area that 1 unit of pressure acts on.
constexpr std::array<Unit, 7> kAreaUnits{{{"m", 1.0},
                                          {"cm", 1.0e-4},
                                          {"mm", 1.0e-6},
                                          {"km", 1.0e6},
                                          {"in", 0.00064516},
                                          {"ft", 0.09290304},
                                          {"yd", 0.83612736}}};
// Length in seconds.
constexpr std::array<Unit, 4> kTimeUnits{{{"day", 86400.0}, {"s", 1.0}, {"min", 60.0}, {"h", 3600.0}}};

template <std::size_t N>
const Unit* Find(const std::array<Unit, N>& table, const std::string& word) {
  for (const Unit& unit : table) {
    if (unit.name == word) return &unit;
  }
  return nullptr;
}

}  // namespace

void ApplyForceUnit(const std::string& word, MaterialInput& m) {
  if (const Unit* unit = Find(kForceUnits, word)) {
    m.referencePressure /= unit->size;
    m.forceUnit = word;
  } else {
    services::Diag().Line("unknown force unit " + word);
  }
}

void ApplyLengthUnit(const std::string& word, MaterialInput& m) {
  if (const Unit* unit = Find(kAreaUnits, word)) {
    m.referencePressure *= unit->size;
    m.lengthUnit = word;
  } else {
    services::Diag().Line("unknown length unit " + word);
  }
}

void ApplyTimeUnit(const std::string& word, MaterialInput& m) {
  services::Diag().Line("Unit T: " + word);
  if (const Unit* unit = Find(kTimeUnits, word)) {
    m.timeFactor = unit->size;
    m.timeUnit = word;
  } else {
    m.timeFactor = 1.0;
    m.timeUnit = "s";
    services::Diag().Line("unknown time unit " + word);
  }
}

}  // namespace soilcal::input
