// The uncertainty step of a run: derived free slots warned about before the
// search, and after it the standard errors, intervals, correlations and
// flags of the calibrated parameters (optimisation/uncertainty.hpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/records.hpp"
#include "models/material.hpp"
#include "optimisation/problem.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/uncertainty.hpp"
#include "run/options.hpp"

namespace soilcal::run {

// One warning on standard error per free parameter whose slot the model's
// completion overwrites or ignores; returns the notes, one per free
// parameter ("" for the others).
std::vector<std::string> WarnAboutDerivedSlots(const input::Job& job, const models::PropSoil& set1);

// The physical range of each free slot in the slot's own values (a sine
// for an angle, G for a Young's modulus), from the parameter table's range
// as a person gives it, into options.physicalLow/High; infinite where the
// table has no entry or the range no end.
void PhysicalRanges(const input::Job& job, optimisation::UncertaintyOptions& options);

struct UncertaintyRequest {
  UncertaintyMode mode = UncertaintyMode::kAuto;
  SearchMode search = SearchMode::kDefault;  // the search that ran
  std::vector<std::string> derived;          // WarnAboutDerivedSlots
  std::string folder;                        // the job folder (abort flag)
  // Told after the Jacobian and after each profile side, the search's
  // evaluations and best point included.
  optimisation::ProgressObserver progress{};
};

// The estimate at the search's best point, nullopt when switched off.
// Profiles run after the thorough search or on request, never after an
// abort; their cost goes to standard error. Never throws: a failure leaves a
// result with `whyNot` set, and the result file stays as the search left it.
std::optional<optimisation::UncertaintyResult> RunUncertaintyStep(
    const UncertaintyRequest& request, const input::Job& job,
    const optimisation::SwarmResult& found, optimisation::Problem& objective);

}  // namespace soilcal::run
