#include "optimisation/failure_tally.hpp"

#include <cstring>

namespace soilcal::optimisation {
namespace {
constexpr const char* kUnknown = "a reason not recorded";
}  // namespace

void FailureTally::Add(const char* reason) {
  if (reason == nullptr) reason = kUnknown;
  ++total_;
  for (auto& [text, count] : counts_) {
    if (text == reason || std::strcmp(text, reason) == 0) {
      ++count;
      return;
    }
  }
  counts_.emplace_back(reason, 1);
}

std::string FailureTally::MostFrequent() const {
  const std::pair<const char*, long>* best = nullptr;
  for (const auto& entry : counts_) {
    if (best == nullptr || entry.second > best->second) best = &entry;
  }
  if (best == nullptr) return "none (no tried point failed)";
  return std::string(best->first) + " (" + std::to_string(best->second) + " of " +
         std::to_string(total_) + " failed points)";
}

}  // namespace soilcal::optimisation
