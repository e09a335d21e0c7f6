#include "optimisation/failure_tally.hpp"

#include <cstring>

namespace soilcal::optimisation {
namespace {
constexpr const char* kUnknown = "a reason not recorded";
}  // namespace

void FailureTally::Add(const char* reason, long count) {
  if (reason == nullptr) reason = kUnknown;
  total_ += count;
  for (auto& [text, seen] : counts_) {
    if (text == reason || std::strcmp(text, reason) == 0) {
      seen += count;
      return;
    }
  }
  counts_.emplace_back(reason, count);
}

void FailureTally::Merge(const FailureTally& other) {
  for (const auto& [text, count] : other.counts_) Add(text, count);
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
