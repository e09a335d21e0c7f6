// Named parameters written back from slot values: the name a person would
// give and a value that the reader turns into exactly the same slot value,
// or slot_N with the slot value where no name can promise that.
#pragma once

#include <optional>
#include <string>

#include "models/parameter_table.hpp"

namespace soilcal::jobfile {

// The angle in degrees whose sine, as the reader computes it, is exactly
// `sine`; the shortest such number. nullopt when none lies near asin(sine).
std::optional<double> DegreesOfSine(double sine);

// The name and value under which slot value `stored` reads back bit for bit:
// `p`'s name when `p` converts exactly and the value lies in its range.
struct NamedValue {
  std::string name;
  double value = 0.0;
  std::string note;  // "sin φ = 0.5" for a converted value
};
std::optional<NamedValue> NameValue(const models::params::Parameter& p, double stored);

// "slot_N".
std::string SlotName(int slot);

}  // namespace soilcal::jobfile
