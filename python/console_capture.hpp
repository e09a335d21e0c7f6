// The console of a run started from Python: every line kept for the result,
// and passed on to Python's sys.stdout / sys.stderr only when asked
// (verbose), so that nothing reaches a notebook unasked.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "services/console.hpp"

namespace soilcal::python {

class ConsoleCapture : public services::ConsoleSink {
 public:
  explicit ConsoleCapture(bool passThrough) : passThrough_(passThrough) {}
  // Called from the engine's threads with the GIL released.
  void Write(services::ConsoleStream stream, std::string_view text) override;
  std::string text() const;

 private:
  const bool passThrough_;
  mutable std::mutex mutex_;
  std::string captured_;
};

}  // namespace soilcal::python
