// The slots each admissibility rule and completion failure reads, so that a
// wall the uncertainty step meets can name the parameters that set it and
// say which way to move them.
#pragma once

#include <span>
#include <string_view>

namespace soilcal::optimisation {

// One slot a rule reads. `sign` tells how the rule's limit moves with it:
// slots of the same sign move each other's limits the same way (E50ref <=
// Eur/2: raising Gref raises the upper limit of E50ref), opposite signs the
// other way (K0nc >= (1 - sin phi)/(1 + sin phi): raising phi lowers the
// lower limit of K0nc); 0 where it depends on the values.
struct RuleSlot {
  int slot = 0;
  int sign = 0;
};

// The slots the rule or failure of `reason` (an Evaluation's reason text)
// reads, the most telling first; empty for a reason without a rule.
std::span<const RuleSlot> SlotsOfRule(std::string_view reason);

// Which way to move the slot `other` so that the wall of rule `reason` on
// the parameter in slot `walled` moves away from it: +1 raise, -1 lower, 0
// not known. `upper`: the wall bounds the parameter from above.
int WideningDirection(std::string_view reason, int walled, int other, bool upper);

}  // namespace soilcal::optimisation
