// What a finished run says on standard error: the warnings of the verdict,
// then its closing lines (outcome, model and search, the best values with
// names and units, the mean relative error at the start and at the end, the
// report's path). Standard output stays as the host reads it.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace soilcal::run {

// The closing lines, each ending in a newline; `reportPath` is "" when no
// report was written.
std::string ClosingLines(const report::Summary& s, const std::string& reportPath);

// Writes the warnings the run has not given yet (those of the verdict),
// then the closing lines, to standard error.
void PrintClosingLines(const report::Summary& s, const std::string& reportPath);

}  // namespace soilcal::run
