// A digest of everything a run read: the optimisation file, the lab-test and
// curve files, the job language of a TOML job, the flag files that change a
// run (do_opti, thorough_search, extended_models) and the program's version.
// The summary keeps it, and a comparison reuses a finished run only when the
// digest of the files as they are now is the same: a curve whose values
// changed under an old time stamp (cp -p, rsync -a, tar x) is run again.
#pragma once

#include <string>

#include "input/records.hpp"

namespace soilcal::run {

// 32 hexadecimal digits: two 64-bit FNV-1a hashes (different offsets) over
// each file's role and content in a fixed order; a missing file
// counts as missing, distinct from an empty one.
std::string InputDigest(const input::Job& job);

}  // namespace soilcal::run
