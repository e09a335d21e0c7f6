// Standard input, output and error of a program started by a host.
#pragma once

namespace soilcal::services {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, so
// that the first file the program opens never takes the place of standard
// error (and warnings never land inside a result file). Call it first in
// main, before any file is opened.
void OpenMissingStandardStreams() noexcept;

}  // namespace soilcal::services
