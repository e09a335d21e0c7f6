// Ctrl-C (SIGINT), SIGTERM and SIGHUP (the terminal went away) during a run.
// The first signal only raises a flag: the search sees it at its next abort
// check and ends as if the abort file had appeared, so the result and curve
// files are still written. A second signal ends the process at once.
//
// SIGPIPE is ignored: a reader of standard output that goes away (as
// `soilcal ... | head -1` does) makes those writes fail, never the run.
//
// The flag is the one piece of process-wide mutable state of the program: a
// signal can reach nothing else.
#pragma once

namespace soilcal::services {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, ignores SIGPIPE
// and clears the flag.
void InstallInterruptHandlers();
// True once SIGINT, SIGTERM or SIGHUP has arrived, or when the front end
// that started the run bound to this thread asks it to stop
// (RunServices::cancel).
bool InterruptRequested() noexcept;
// Raises the flag as the handlers do; async-signal-safe, for a front end
// that installs a handler of its own (the Python module).
void RequestInterrupt(int signo) noexcept;
// The signal that raised the flag (0 when none).
int InterruptSignal() noexcept;
// Clears the flag (tests).
void ClearInterrupt() noexcept;

}  // namespace soilcal::services
