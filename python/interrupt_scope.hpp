// Ctrl-C during a calibration started from Python's main thread: while the
// engine runs with the GIL released, SIGINT raises the engine's interrupt
// flag, so the search ends as the abort file ends it (the files written,
// exit code 18). Python's own handler comes back afterwards; the caller then
// raises KeyboardInterrupt. Other threads leave SIGINT to Python, which only
// ever delivers it to the main thread.
#pragma once

#include <csignal>

namespace soilcal::python {

class InterruptScope {
 public:
  explicit InterruptScope(bool mainThread);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // True when SIGINT arrived while the scope's handler was installed.
  bool caught() const;

 private:
  bool installed_ = false;
  struct sigaction previous_ {};
};

}  // namespace soilcal::python
