// The facts of a calibration summary that name the job for a person: the
// model, the units, each parameter's symbol and unit, each test's header,
// material and type, the search and why it stopped, and the warnings given.
#pragma once

#include "input/records.hpp"
#include "report/summary.hpp"
#include "run/calibration_outputs.hpp"

namespace soilcal::run {

// Fills those facts of `s` from what the job read and the trace of the run;
// the parameters and tests must be in `s` already, in the job's order.
void AddJobFacts(const input::Job& job, const CalibrationTrace& trace, report::Summary& s);

// A TOML job's curve as the person wrote it, "txa.csv (deviator stress)";
// empty for a native job.
std::string CurveLabel(const input::Job& job, std::size_t t, std::size_t c);

}  // namespace soilcal::run
