// Free parameters the model's completion overwrites or ignores: a value the
// search gives them changes nothing (or not everywhere in the box), so a
// calibrated number there would mislead. Read from the parameter table's
// derivation marks.
#pragma once

#include <string>
#include <vector>

#include "input/records.hpp"
#include "models/material.hpp"

namespace soilcal::optimisation {

// Per free parameter (in the order of the optimisation file): what the
// completion does to its slot, as a sentence naming the parameter and the
// slot, e.g. "GSI (slot 33) has no effect once material set 1 is completed:
// the Hoek-Brown model uses it only to derive mb, s and a when they are not
// given; the set keeps them"; empty when the slot is read as given. `set1` is
// material set 1 as the reference run completed it.
std::vector<std::string> DerivedSlotNotes(const input::Job& job, const models::PropSoil& set1);

}  // namespace soilcal::optimisation
