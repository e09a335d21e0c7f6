#include "services/interrupt.hpp"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the flag is set in a signal handler");

void WriteStderr(const char* text, std::size_t length) {
  // write() is async-signal-safe; a failed write has nowhere to be reported.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
}

extern "C" void OnInterrupt(int signo) {
  int expected = 0;
  if (interruptSignal.compare_exchange_strong(expected, signo)) {
    static constexpr char kFirst[] =
        "soilcal: interrupted: the search stops at its next abort check and writes its best "
        "point (exit code 18); a second interrupt ends the program at once\n";
    WriteStderr(kFirst, sizeof kFirst - 1);
    return;
  }
  static constexpr char kSecond[] = "soilcal: interrupted again: ending at once\n";
  WriteStderr(kSecond, sizeof kSecond - 1);
  ::_exit(128 + signo);
}

}  // namespace

void InstallInterruptHandlers() {
  interruptSignal.store(0);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

bool InterruptRequested() noexcept {
  if (interruptSignal.load(std::memory_order_relaxed) != 0) return true;
  const std::atomic<bool>* cancel = CurrentServices().cancel;
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

void RequestInterrupt(int signo) noexcept {
  int expected = 0;
  interruptSignal.compare_exchange_strong(expected, signo);
}

int InterruptSignal() noexcept { return interruptSignal.load(std::memory_order_relaxed); }

void ClearInterrupt() noexcept { interruptSignal.store(0); }

}  // namespace soilcal::services
