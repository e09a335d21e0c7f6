// Why the points of a search failed: a count per reason, so that a search
// that ends without a usable point can say what went wrong most often.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace soilcal::optimisation {

class FailureTally {
 public:
  // Counts one failed point; `reason` is a static text or nullptr (unknown).
  void Add(const char* reason) { Add(reason, 1); }
  // Adds the counts of another tally (a tally kept on another thread), in
  // its order of first sight.
  void Merge(const FailureTally& other);
  long total() const { return total_; }
  // "<reason> (k of n failed points)" for the most frequent reason, the one
  // seen first on a tie; "none (...)" when nothing failed.
  std::string MostFrequent() const;

 private:
  void Add(const char* reason, long count);

  std::vector<std::pair<const char*, long>> counts_;
  long total_ = 0;
};

}  // namespace soilcal::optimisation
