// The uncertainty estimate turned into what the summary and the report show:
// the numbers per parameter and a plain sentence per flag, with angles in
// degrees and values to a few significant digits.
#pragma once

#include <string>

#include "input/records.hpp"
#include "optimisation/uncertainty.hpp"
#include "report/summary.hpp"

namespace soilcal::report {

// How `p` is shown: its own display where the summary has one, else from
// the parameter table for its slot in model `modelNumber`, the units from
// the job's unit names kept in `u`; the result file's key where the table
// has no entry.
ParameterDisplay DisplayOf(const ParameterSummary& p, std::optional<int> modelNumber,
                           const UncertaintySummary& u);

// A stored value as shown: degrees for a sine slot, `digits` significant
// digits, the unit after it ("38.2°", "25600 kPa").
std::string DisplayValue(const ParameterDisplay& d, double stored, int digits = 3);
// A range of stored values as shown: "0–17°", "5000–60000 kPa".
std::string DisplayRange(const ParameterDisplay& d, double low, double high, int digits = 3);
// A value to `digits` significant digits without an exponent for magnitudes
// between 1e-4 and 1e7.
std::string Significant(double value, int digits);

// Fills summary.uncertainty and the uncertainty of every parameter of
// summary.parameters (in the job's order) from the estimate.
void DescribeUncertainty(const optimisation::UncertaintyResult& result, const input::Job& job,
                         Summary& summary);

}  // namespace soilcal::report
