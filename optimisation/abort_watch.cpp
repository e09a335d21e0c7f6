#include "optimisation/abort_watch.hpp"

#include <cstdlib>
#include <utility>

#include "services/clock.hpp"
#include "services/interrupt.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

// The first call looks for the file at once: a flag file present from the
// start stops the search at its first check, however short the search.
AbortWatch::AbortWatch(std::string flagPath)
    : path_(std::move(flagPath)), last_(services::WallClockMs() - 101) {}

bool AbortWatch::Requested() {
  if (seen_.load(std::memory_order_relaxed)) return true;
  // Ctrl-C or SIGTERM: seen at once, not only every 100 ms.
  if (services::InterruptRequested()) {
    seen_.store(true);
    return true;
  }
  const int now = services::WallClockMs();
  int last = last_.load(std::memory_order_relaxed);
  // The absolute difference keeps the check alive when the clock passes
  // midnight and starts again from 0.
  if (std::abs(now - last) <= 100) return false;
  // One thread looks; the others go on until it has seen the file.
  if (!last_.compare_exchange_strong(last, now)) return false;
  if (!path_.empty() && services::FileExists(path_)) seen_.store(true);
  return seen_.load();
}

}  // namespace soilcal::optimisation
