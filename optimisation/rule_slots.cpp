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
      {"Poisson's ratio outside 0..0.49999", {{2, -1}}},
      {"shear modulus Gref not positive", {{1, 1}}},
      {"initial porosity not positive", {{20, 1}}},
      // Mohr-Coulomb and the families that share its strength rules.
      {"negative cohesion", {{4, 1}}},
      {"sin phi not positive", {{3, 1}}},
      {"negative sin phi", {{3, 1}}},
      // psi <= phi.
      {"dilatancy angle above the friction angle", {{5, -1}, {3, 1}}},
      {"stiffness power m outside 0..1", {{34, -1}}},
      // Soft soil: K0nc >= (1 - sin phi)/(1 + sin phi), a limit that falls as
      // phi rises.
      {"K0nc above 1", {{37, -1}}},
      {"K0nc below (1 - sin phi)/(1 + sin phi)", {{37, 1}, {3, 1}}},
      // kappa* <= lambda*.
      {"kappa* above lambda*", {{38, -1}, {39, 1}}},
      {"negative M", {{31, 1}}},
      {"negative mu*", {{40, 1}}},
      // Hardening Soil: E50ref <= Eur/2 with Eur = 2 Gref (1 + nu).
      {"E50ref outside Eur/20..Eur/2", {{40, -1}, {1, 1}, {2, 1}}},
      {"K0nc outside (1 - sin phi)/(1 + sin phi)..1", {{39, 1}, {3, 1}}},
      // EOedRef <= 2 E50ref.
      {"EOedRef outside E50ref/3..2 E50ref", {{38, -1}, {40, 1}}},
      {"negative cap parameter (slot 31)", {{31, 1}}},
      // G0ref >= Gref.
      {"G0ref below Gref", {{49, 1}, {1, -1}}},
      // The cap fit (models/hardening_soil/caplib) finds a cap only while
      // E50ref is large enough for the oedometer modulus: below about
      // 0.7 EOedRef (K0nc 0.45, m 0.5) the shear hardening alone strains the
      // K0 path more than 1/EOedRef allows in the cap's flow direction. The
      // limit falls as K0nc, the unloading stiffness or m rises; Rf drops
      // out. phi is not read: a K0nc not given is 1 - sin phi of the start
      // values, completed by the reference run and kept for the search.
      {"the cap fit of the Hardening Soil model (HS_CapItr) found no cap for E50ref, EOedRef and K0nc",
       {{40, 1}, {38, -1}, {39, 1, true}, {1, 1}, {34, 1}, {2, 0}}},
      // "sin phi or sin psi above 1" limits each angle by itself (90°): no
      // entry, so the wall reads as the parameter's own limit.
      // Models known by their slots only: slot 33 <= slot 31.
      {"slot 33 above slot 31", {{33, -1}, {31, 1}}},
      {"slot 31 not positive", {{31, 1}}},
      {"slot 32 outside 0..0.49999", {{32, -1}}},
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

bool RuleReads(const RuleSlot& s, std::span<const double> params) {
  const auto at = [&](int slot) {
    return static_cast<std::size_t>(slot) < params.size() ? params[static_cast<std::size_t>(slot)]
                                                          : 0.0;
  };
  return !s.whenGiven || !(at(s.slot) < 0.0);
}

int WideningDirection(std::string_view reason, int walled, int other, bool upper) {
  int a = 0, b = 0;
  for (const RuleSlot& s : SlotsOfRule(reason)) {
    if (s.slot == walled) a = s.sign;
    if (s.slot == other) b = s.sign;
  }
  // The wall stands on the written limit when it bounds `walled` the way
  // that limit does (from above for a = -1), else on the mirrored one;
  // raising `other` then widens the room when its sign there is +1.
  const bool written = upper ? a < 0 : a > 0;
  return (written ? 1 : -1) * b * (a != 0 ? 1 : 0);
}

}  // namespace soilcal::optimisation
