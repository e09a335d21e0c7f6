// The tests of a job read from a TOML job, in the terms the start-value
// rules read: the kind of test from its template, drainage, the start
// stresses and every measured curve under its quantity names and in the
// job's values (compression positive).
#pragma once

#include <vector>

#include "derive/measured.hpp"
#include "jobfile/native_job.hpp"

namespace soilcal::jobfile {

std::vector<derive::MeasuredTest> MeasuredTests(const NativeJob& job);

}  // namespace soilcal::jobfile
