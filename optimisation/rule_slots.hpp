// The slots each admissibility rule and completion failure reads, so that a
// wall the uncertainty step meets can name the parameters that set it and
// say which way to move them.
#pragma once

#include <span>
#include <string_view>

namespace soilcal::optimisation {

// One slot a rule reads. Written as g >= 0 on its admissible side (for a
// rule of two limits, on the upper limit of its first slot), `sign` is the
// sign of dg/d(slot): +1 when raising the slot leaves the rule more room
// (E50ref <= Eur/2: Gref +1, E50ref -1), -1 when less, 0 where it depends on
// the values. A rule of two limits mirrors every sign on its other limit.
// `whenGiven`: a slot the model derives when it is below 0 (K0nc = 1 -
// sin phi), read as a value of its own only when the job gives it.
struct RuleSlot {
  int slot = 0;
  int sign = 0;
  bool whenGiven = false;
};

// Whether the rule reads `s` for the material `params` (slot-indexed).
bool RuleReads(const RuleSlot& s, std::span<const double> params);

// The slots the rule or failure of `reason` (an Evaluation's reason text)
// reads, the most telling first; empty for a reason without a rule.
std::span<const RuleSlot> SlotsOfRule(std::string_view reason);

// Which way to move the slot `other` so that the wall of rule `reason` on
// the parameter in slot `walled` moves away from it: +1 raise, -1 lower, 0
// not known. `upper`: the wall bounds the parameter from above; with it the
// limit the wall stands on is known for a rule of two limits.
int WideningDirection(std::string_view reason, int walled, int other, bool upper);

}  // namespace soilcal::optimisation
