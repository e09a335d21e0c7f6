// `soilcal new MODEL FILE...`: a TOML job written from measured tests, with
// start values and bounds read off the curves (derive/) and every parameter
// line saying how it got its number. The files are TOML jobs, whose tests
// are reused, or lab files, each read as a test `from = "FILE"`.
#pragma once

#include <string>
#include <vector>

#include "derive/derivation.hpp"

namespace soilcal::jobfile {

struct NewJobRequest {
  std::vector<std::string> models;     // model names of the parameter table
  std::vector<std::string> files;      // the measured tests
  std::vector<std::string> specimens;  // LOCATION:DEPTH:REF of lab files with several
  std::string output;                  // the job file to write
  derive::SandState sand;              // (N1)60 or e, emin, emax for UBC3D
};

struct NewJob {
  std::string toml;                               // the job's text
  std::vector<derive::Derivation> derivations;    // one per model, in order
};

// Builds the job and reads it back through the TOML reader (so a job that
// would not run is never written). Throws services::RunError naming the
// file and the fix.
NewJob MakeNewJob(const NewJobRequest& request);

// The table of derived values for a person: model, name, value, bounds of a
// free parameter and how each value was found.
std::string DerivationTable(const std::vector<derive::Derivation>& derivations);

// A value for a job file: four significant digits, no exponent for the
// numbers of soil mechanics ("21480", "0.5234", "38.21").
std::string JobNumber(double v);

}  // namespace soilcal::jobfile
