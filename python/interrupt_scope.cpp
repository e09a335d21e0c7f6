#include "interrupt_scope.hpp"

#include "services/interrupt.hpp"

namespace soilcal::python {
namespace {

extern "C" void OnModuleInterrupt(int signo) { services::RequestInterrupt(signo); }

}  // namespace

InterruptScope::InterruptScope(bool mainThread) {
  if (!mainThread) return;
  services::ClearInterrupt();
  struct sigaction action {};
  action.sa_handler = OnModuleInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptScope::~InterruptScope() {
  if (!installed_) return;
  ::sigaction(SIGINT, &previous_, nullptr);
  services::ClearInterrupt();
}

bool InterruptScope::caught() const {
  return installed_ && services::InterruptSignal() == SIGINT;
}

}  // namespace soilcal::python
