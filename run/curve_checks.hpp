// Jobs whose curves cannot judge a fit the way the user expects, and the
// place (file and line) of run errors raised where the file is not known.
#pragma once

#include <vector>

#include "input/records.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/errors.hpp"

namespace soilcal::run {

// One warning each for a test without a curve (and one when no test has
// any), a measured curve whose every y is 0 (it counts as a perfect fit),
// and two listed curves that read the same file (names cut to 80
// characters, or differing only in case). The run goes on as without them.
void WarnAboutCurves(const input::Job& job);

// A curve none of whose measured points carries information at the start
// values (each one a phase's anchor, outside the simulated range or at 0)
// fits every parameter set alike: a run error (11) for a job written from a
// TOML job, a loud warning for a native one. `information` is per test and
// curve, from the reference run.
void CheckCurveInformation(
    const input::Job& job,
    const std::vector<std::vector<optimisation::CurveInformation>>& information);

// What a curve's points without information are, and what to do about them.
std::string UninformativeCause(const optimisation::CurveInformation& info);

// Puts the file and line in front of the cause of a run error raised where
// they are not known: the search intensity (5), a job without tests (8), a
// quantity code that does not exist (17).
void AddPlaceOfError(services::RunError& error, const input::Job& job);

}  // namespace soilcal::run
