// The slots behind each rule of optimisation/admissibility.cpp and the
// completion failures of optimisation/objective.cpp, keyed by their texts.
#include "optimisation/rule_slots.hpp"

#include <vector>

namespace soilcal::optimisation {
namespace {

struct RuleEntry {
  std::string_view reason;
  std::vector<RuleSlot> slots;
};

const std::vector<RuleEntry>& Table() {
  static const std::vector<RuleEntry> table{
      // General rules.
      {"Poisson's ratio outside 0..0.49999", {{2, 1}}},
      {"shear modulus Gref not positive", {{1, 1}}},
      {"initial porosity not positive", {{20, 1}}},
      // Mohr-Coulomb and the families that share its strength rules.
      {"negative cohesion", {{4, 1}}},
      {"sin phi not positive", {{3, 1}}},
      {"negative sin phi", {{3, 1}}},
      {"dilatancy angle above the friction angle", {{5, 1}, {3, 1}}},
      {"stiffness power m outside 0..1", {{34, 1}}},
      // Soft soil: K0nc >= (1 - sin phi)/(1 + sin phi) falls as phi rises.
      {"K0nc above 1", {{37, 1}}},
      {"K0nc below (1 - sin phi)/(1 + sin phi)", {{37, 1}, {3, -1}}},
      {"kappa* above lambda*", {{38, 1}, {39, 1}}},
      {"negative M", {{31, 1}}},
      {"negative mu*", {{40, 1}}},
      // Hardening Soil: Eur = 2 Gref (1 + nu).
      {"E50ref outside Eur/20..Eur/2", {{40, 1}, {1, 1}, {2, 1}}},
      {"K0nc outside (1 - sin phi)/(1 + sin phi)..1", {{39, 1}, {3, -1}}},
      {"EOedRef outside E50ref/3..2 E50ref", {{38, 1}, {40, 1}}},
      {"negative cap parameter (slot 31)", {{31, 1}}},
      {"G0ref below Gref", {{49, 1}, {1, 1}}},
      // The cap fit finds no cap for E50ref far above EOedRef (a stiffer
      // oedometer allows a stiffer triaxial response); phi, K0nc and the
      // unloading stiffness enter it too.
      {"the cap fit of the Hardening Soil model (HS_CapItr) rejected EOedRef/E50ref at the given phi",
       {{38, 1}, {40, 1}, {3, 0}, {39, 0}, {1, 0}, {2, 0}, {34, 0}}},
      // "sin phi or sin psi above 1" limits each angle by itself (90°): no
      // entry, so the wall reads as the parameter's own limit.
      // Models known by their slots only.
      {"slot 33 above slot 31", {{33, 1}, {31, 1}}},
      {"slot 31 not positive", {{31, 1}}},
      {"slot 32 outside 0..0.49999", {{32, 1}}},
      {"slot 34 not positive", {{34, 1}}},
  };
  return table;
}

}  // namespace

std::span<const RuleSlot> SlotsOfRule(std::string_view reason) {
  for (const RuleEntry& e : Table()) {
    if (e.reason == reason) return e.slots;
  }
  return {};
}

int WideningDirection(std::string_view reason, int walled, int other, bool upper) {
  int a = 0, b = 0;
  for (const RuleSlot& s : SlotsOfRule(reason)) {
    if (s.slot == walled) a = s.sign;
    if (s.slot == other) b = s.sign;
  }
  // Same signs: the limit on `walled` moves with `other`.
  const int coupling = a * b;
  return upper ? coupling : -coupling;
}

}  // namespace soilcal::optimisation
