// The interrupt handlers: the first signal only raises the flag the search
// checks; a second one ends the process at once.
#include "services/interrupt.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace soilcal::services {
namespace {

// Runs `body` in a child process with stderr silenced and returns its exit
// status (128 + signal when a signal ended it).
template <class Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stderr);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Interrupt, FirstSignalRaisesTheFlagSecondEndsAtOnce) {
  // SIGINT and SIGTERM each raise the flag and name themselves; the process
  // goes on.
  for (int signo : {SIGINT, SIGTERM}) {
    EXPECT_EQ(InChild([signo] {
                InstallInterruptHandlers();
                if (InterruptRequested()) return 1;
                std::raise(signo);
                return InterruptRequested() && InterruptSignal() == signo ? 0 : 2;
              }),
              0);
  }
  // The second signal does not return.
  EXPECT_EQ(InChild([] {
              InstallInterruptHandlers();
              std::raise(SIGINT);
              std::raise(SIGTERM);
              return 3;
            }),
            128 + SIGTERM);
}

}  // namespace
}  // namespace soilcal::services
