// Flush-to-zero on the calling thread for as long as a run or an evaluation
// lasts, and the thread's own mode back afterwards: a front end in another
// program (the Python module) must not leave its host computing without
// denormals.
#pragma once

#include "services/clock.hpp"

namespace soilcal::services {

class ScopedFlushToZero {
 public:
  ScopedFlushToZero() : saved_(FpControlWord()) { SetFlushToZero(); }
  ~ScopedFlushToZero() { SetFpControlWord(saved_); }
  ScopedFlushToZero(const ScopedFlushToZero&) = delete;
  ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;

 private:
  unsigned long saved_;
};

}  // namespace soilcal::services
