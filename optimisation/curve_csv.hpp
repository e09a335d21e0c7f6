// Simulated curves as CSV in the job's own names, units and signs, beside
// the native "_referenced" / "_calculated" files, for jobs written from a
// TOML job file (input::Job::language).
#pragma once

#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::optimisation {

// CSV text of one simulated curve: a header of the quantity names (with a
// leading "phase" column for a test of several phases), then one row per
// recorded point; each value is the axis factor times its quantity code.
std::string CurveCsvText(const input::CurveLanguage& language, const input::LabTest& test,
                         const labtest::Recording& rec, int nRecorded);

// Program path of one CSV output: "<output><suffix>.csv" in the job's folder.
std::string CurveCsvName(const input::Job& job, const input::CurveLanguage& curve,
                         const std::string& suffix);

// Writes the CSV of every curve of test `t` of a job with a language, as
// "<output><suffix>.csv" in the job's folder.
void WriteCurveCsvFiles(const input::Job& job, std::size_t t, const labtest::Recording& rec,
                        int nRecorded, const std::string& suffix);

}  // namespace soilcal::optimisation
