#include "run/usage.hpp"

#include "services/version.hpp"

namespace soilcal::run {

std::string UsageText() {
  return R"(usage: soilcal [OPTIONS] PATH/OPTIM.TXT

Calibrates the parameters of a soil model against laboratory tests. The one
argument is the optimisation input file of a job folder; the lab-test files
and measured curve files it lists are read from the same folder.

Outcome:
  Optimization_result.txt   in the job folder: best values, mean relative
                            error, sensitivities and "Exit Code" (0 success)
  <curve file>_referenced   simulated curves with the test files' parameters
  <curve file>_calculated   simulated curves with the best parameters
  standard error            one line naming the cause of any failure

Flag files in the job folder:
  do_opti     (empty) writes a diagnostic log to file2 in the job folder
  AbortCalc   stops a running search at its next check: exit code 18 with
              the best point so far. Ctrl-C or SIGTERM does the same; a second
              one ends the program at once.

Feature toggles: empty files in toggles/ beside the program or in ../toggles/
(for example USE_PARALLEL_UDSM_STRESS_INTEGRATION).

Options (before the path):
  --help            this text; nothing is run
  --version         the program's version; nothing is run
  --exit-status     the process exit status becomes the outcome: 0 success,
                    the Exit Code of a run error (2 to 19), 1 for an error
                    inside a simulated test. Without it the status is always 0
                    and the outcome is read from the result file.
  --search=default  the particle swarm search (the default)
  --search=thorough a longer search for hard problems
  --uncertainty=linear|profile|off
                    how far to trust each parameter (standard errors, 95 %
                    intervals, correlations, flags in calibration_summary.json
                    and the report): linear adds 2n+1 evaluations (the default
                    after the default search), profile adds profile
                    likelihoods (the default after the thorough search), off
                    skips the step
Unknown options are reported on standard error and otherwise ignored.
)";
}

std::string VersionText() { return std::string("soilcal ") + kVersion + "\n"; }

}  // namespace soilcal::run
