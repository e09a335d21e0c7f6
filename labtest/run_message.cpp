// The outcome of a lab-test run in sentences, for soilcal-labtest and the
// Python module: "status 3" alone tells a person nothing about which step
// stopped, how close it came, or what to try.
#include <cstdio>
#include <string>

#include "labtest/driver.hpp"

namespace soilcal::labtest {
namespace {

std::string Number(double v, const char* format = "%.3g") {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string Percent(double strain) { return Number(100.0 * strain, "%.3g") + " %"; }

}  // namespace

std::string DescribeRun(const LabTestRun& run, bool solverWasFast) {
  std::string out;
  if (run.status == 3) {
    const StepFailure& f = run.failure;
    out += "Load step " + std::to_string(f.step) + " of phase " + std::to_string(f.phase) +
           " (point " + std::to_string(f.point) + ", time " + Number(f.time, "%.6g") +
           ") did not converge: its error " + Number(f.error) + " stayed above the limit " +
           Number(f.limit) + " (25 x the tolerance) after " + std::to_string(f.iterations) +
           " iterations (at most " + std::to_string(f.maxIterations) + ").";
    if (f.subSteps) {
      out += " Nor did sub-steps down to 1/4096 of it, solved by the fast iteration: the sample "
             "cannot carry this load step.";
    }
    if (run.cyclic) {
      out += " It stood at r_u " + Number(f.ru) + " and a shear strain of " +
             Percent(f.shearStrain) + " in cycle " + Number(f.time, "%.4g") +
             "; the test did not finish.";
    } else {
      out += " The test did not finish.";
    }
    if (!f.subSteps && !solverWasFast) {
      out += " The fast step solver (--solver=fast) often carries such a step.";
    }
    out += '\n';
  } else if (run.status == 1) {
    out += "The stress point could not be initialised with these parameters; no step was run.\n";
  } else if (run.status == 2) {
    out += "The parameter completion of the model (the cap fit) failed; no step was run.\n";
  }
  if (run.cyclic && run.liquefied) {
    const LiquefactionWatch& w = run.liquefaction;
    out += "The sample liquefied at point " + std::to_string(w.Point()) + ", cycle " +
           Number(w.Time(), "%.4g") + ":";
    if (w.pointByRu > 0) out += " r_u reached 0.98 in cycle " + Number(w.timeByRu, "%.4g") + ";";
    if (w.pointByStrain > 0) {
      out += " the shear strain reached 3 % in cycle " + Number(w.timeByStrain, "%.4g") + ";";
    }
    if (run.stoppedAtLiquefaction) {
      out += " the test stopped there, as asked.\n";
    } else if (run.status == 0) {
      out += " the test went on to its last step.\n";
    } else {
      out += " the test went on until the step above stopped it.\n";
    }
  } else if (run.cyclic && run.status == 0) {
    out += "The sample did not liquefy: r_u reached " + Number(run.liquefaction.maxRu) +
           " and the shear strain " + Percent(run.liquefaction.maxShearStrain) + ".\n";
  }
  return out;
}

}  // namespace soilcal::labtest
