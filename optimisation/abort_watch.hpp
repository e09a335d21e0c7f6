// The abort request of a running search: the flag file "AbortCalc" in the
// job folder, or an interrupt (Ctrl-C, SIGTERM). Every thread of a parallel
// batch may ask, so a batch stops as soon as the request is seen, not when
// its slowest task is done.
#pragma once

#include <atomic>
#include <string>

namespace soilcal::optimisation {

class AbortWatch {
 public:
  explicit AbortWatch(std::string flagPath);
  AbortWatch(const AbortWatch&) = delete;
  AbortWatch& operator=(const AbortWatch&) = delete;

  // True after an interrupt (seen at every call), or when the flag file is
  // found at a look; the file is looked for at most once per 100 ms of wall
  // clock, whichever thread asks. Once true it stays true. Thread-safe.
  bool Requested();

 private:
  std::string path_;
  std::atomic<int> last_;  // wall clock of the last look, ms since midnight
  std::atomic<bool> seen_{false};
};

}  // namespace soilcal::optimisation
