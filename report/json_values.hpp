// A value of the JSON files that may be unknown: null when it is.
#pragma once

#include <optional>

#include <nlohmann/json.hpp>

namespace soilcal::report {

template <typename T>
nlohmann::ordered_json Optional(const std::optional<T>& v) {
  return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

}  // namespace soilcal::report
