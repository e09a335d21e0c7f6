// Likely mistakes in a job that do not stop it: each gets one warning line
// on standard error, and the run goes on exactly as without the check.
#pragma once

#include <string>

#include "input/records.hpp"

namespace soilcal::run {

// An "AbortCalc" left in the job folder from an earlier run stops the search
// at its first check.
void WarnIfAbortFilePresent(const std::string& abortFlagPath);
// Bounds of the sine slots 3 and 5 outside [-1, 1]; a start value from the
// test files outside its bound pair.
void WarnAboutLikelyMistakes(const input::Job& job);

}  // namespace soilcal::run
