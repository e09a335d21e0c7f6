#include "run/usage.hpp"

#include "services/version.hpp"

namespace soilcal::run {

std::string UsageText() {
  return R"(usage: soilcal [OPTIONS] PATH/OPTIM.TXT
       soilcal [OPTIONS] PATH/JOB.toml
       soilcal [OPTIONS] JOB1 JOB2 ...     a batch: several jobs at once
       soilcal [OPTIONS] --jobs-from FILE  a batch of the jobs listed in FILE
       soilcal [OPTIONS] --compare JOB1/OPTIM.TXT JOB2/OPTIM.TXT ...
       soilcal --write-native DIR JOB.toml
       soilcal --write-toml OUT.toml PATH/OPTIM.TXT
       soilcal new MODEL[,MODEL...] FILE... [-o JOB.toml] [--force]
       soilcal inspect FILE [--stage N | --specimen LOCATION:DEPTH:REF] [--csv]
                                           what a GDS, AGS4 or table file holds
       soilcal serve [FOLDER] [--port N] [--open]   the workbench in the browser

Calibrates the parameters of a soil model against laboratory tests. The one
argument is the optimisation input file of a job folder; the lab-test files
and measured curve files it lists are read from the same folder. A TOML job
file (named parameters, CSV curves) is written as its native job into
PATH/JOB.out/ and run there; every output of its run lands in that folder.
--write-native writes that native job into DIR without a run; --write-toml
writes a native job as a TOML job with CSV files. soilcal new writes a TOML
job from measured tests (TOML jobs or lab files) with start values and
bounds read off the curves, each with the rule that gave it.

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
  extended_models  (empty) as --extended-models

Feature toggles: empty files in toggles/ beside the program or in ../toggles/
(for example USE_PARALLEL_UDSM_STRESS_INTEGRATION).

Options (before the path):
  --help            this text; nothing is run
  --version         the program's version; nothing is run
  --exit-status     the process exit status of a native job becomes the
                    outcome: 0 success, the Exit Code of a run error (2 to
                    19), 1 for an error inside a simulated test. Without it a
                    native job's status is always 0 and the outcome is read
                    from the result file. A TOML job, a comparison and a batch
                    always end with their outcome as status.
  --verbose         a TOML job or a comparison also prints on standard output
                    the lines of JOB.out/soilcal_console.log (the echo of each
                    test file's header and the search's ERROR = lines)
  --search=default  the particle swarm search (the default)
  --search=thorough a longer search for hard problems
  --extended-models the lab tests also simulate the Sekiguchi-Ohta models
                    (31, 32), which are refused without it
  --solver=fast     the search's evaluations with the fast step solver (the
                    thorough search's choice); the best point is evaluated
                    again with the prescribed iteration, and every reported
                    figure comes from it
  --solver=prescribed  every evaluation with the prescribed iteration
  --progress=json   one JSON line per progress report on standard error
                    ({"progress":{"phase":...,"iteration":...}}), for a front
                    end that reads the run on a pipe
  --progress=curves those lines, and after each one that names a new best
                    point its simulated curves as one JSON line (the
                    measured curves once before), for drawing the fit live
  --uncertainty=linear|profile|off
                    how far to trust each parameter (standard errors, 95 %
                    intervals, correlations, flags in calibration_summary.json
                    and the report): linear adds 2n+1 evaluations (the default
                    after the default search), profile adds profile
                    likelihoods (the default after the thorough search), off
                    skips the step
Unknown options are reported on standard error and otherwise ignored.

Which model fits: a TOML job with [[models]] instead of [model] (each entry
the keys of [model] with its own parameters and calibrate.free) calibrates
each model into PATH/JOB.out/<model>/ as a run of its own, with the thorough
search unless the job names one, and writes comparison_report.html and
comparison.json into PATH/JOB.out/: the models ranked by BIC, charged for
every free parameter. --compare does the same for native jobs on the same
tests and measured curves (checked; a finished run is reused) and writes the
two files into the current folder.

Batch runs (two or more jobs, or --jobs-from FILE with one path a line;
blank lines and lines beginning with # are skipped): each job runs as a run
of its own with one thread, as many at once as there are cores, in its own
folder exactly as a single run; its console output goes to
soilcal_console.log in that folder. One line is printed per finished job,
and batch_summary.csv in the current folder gets one row per job. The other
options apply to every job.
  --jobs=N          at most N jobs at once
The batch ends with the worst (highest) status of its jobs.
)";
}

std::string VersionText() { return std::string("soilcal ") + kVersion + "\n"; }

}  // namespace soilcal::run
