// `soilcal new MODEL FILE...`: a TOML job written from measured tests, with
// start values and bounds read off the curves (derive/) and every parameter
// line saying how it got its number. The files are TOML jobs, whose tests
// are reused, or lab files, each read as a test `from = "FILE"`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "derive/derivation.hpp"

namespace soilcal::jobfile {

// A value of the derived table set by hand (the workbench's table): what is
// given replaces what the rule gave; the job then writes the value as typed
// and says so on its line.
struct ValueEdit {
  std::string model;  // the model's name; empty: every model with the parameter
  std::string name;   // the parameter's job-file name
  std::optional<double> value, lower, upper;
  std::optional<bool> free;
};

// Which test of a lab file becomes the job's test (a stage, a specimen, a
// group), as the lines `soilcal inspect` prints select it.
struct LabChoice {
  std::string file;  // as in `files`
  std::optional<int> stage;
  std::string specimen;  // LOCATION:DEPTH:REF; empty: none
  std::string group;     // empty: none
};

struct NewJobRequest {
  std::vector<std::string> models;     // model names of the parameter table
  std::vector<std::string> files;      // the measured tests
  std::vector<std::string> specimens;  // LOCATION:DEPTH:REF of lab files with several
  std::string output;                  // the job file to write
  derive::SandState sand;              // (N1)60 or e, emin, emax for UBC3D
  std::vector<ValueEdit> edits;        // applied after the derivation
  std::vector<LabChoice> choices;      // a lab file named here is this one test
  // False: the text is not read back (the caller reads it itself, to place
  // a refusal beside the field that caused it).
  bool readBack = true;
};

struct NewJob {
  std::string toml;                               // the job's text
  std::vector<derive::Derivation> derivations;    // one per model, in order (edits applied)
  // The units of the job (of its first TOML job's [units], else the default).
  std::string forceUnit = "kN", lengthUnit = "m", timeUnit = "s";
};

// Builds the job and reads it back through the TOML reader (so a job that
// would not run is never written). Throws services::RunError naming the
// file and the fix; an edit naming no parameter of its model is one.
NewJob MakeNewJob(const NewJobRequest& request);

// The table of derived values for a person: model, name, value, bounds of a
// free parameter and how each value was found.
std::string DerivationTable(const std::vector<derive::Derivation>& derivations);

// A value for a job file: four significant digits, no exponent for the
// numbers of soil mechanics ("21480", "0.5234", "38.21").
std::string JobNumber(double v);

}  // namespace soilcal::jobfile
