// Suggestions for a name that is not known: the valid names within a few
// letters of it (edit distance), nearest first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace soilcal::jobfile {

// Levenshtein distance, letter case ignored.
int EditDistance(std::string_view a, std::string_view b);

// Up to three of `valid` nearest to `given` (at most a third of its letters
// away, and at least 2), nearest first.
std::vector<std::string> NearestNames(std::string_view given, const std::vector<std::string>& valid);

// "; did you mean "phi" or "psi"?" for the nearest names, "" when none is near.
std::string DidYouMean(std::string_view given, const std::vector<std::string>& valid);

}  // namespace soilcal::jobfile
