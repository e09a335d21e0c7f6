// Reading a job as a run reads it, whoever asks: the calibration run and a
// job opened without running (run/open_job.hpp).
#pragma once

#include <string>
#include <vector>

#include "input/records.hpp"
#include "models/family.hpp"
#include "services/library.hpp"

namespace soilcal::run {

// Reads, once the optimisation file is in `job`, every lab-test file in
// list order, the cap library of the Hardening Soil models into
// `capLibrary` and `resources`, then every measured curve. Run errors leave
// through StopWithError.
void ReadTestsAndCurves(input::Job& job, services::SharedLibrary& capLibrary,
                        models::ModelResources& resources);

// The free parameters as the test files give them (slot values), the point
// the reference run simulates.
std::vector<double> StartingVector(const input::Job& job);

}  // namespace soilcal::run
