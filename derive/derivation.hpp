// Start values and bounds of a model's parameters read off the measured
// tests. Derive applies the rules of derive/rules.hpp to what the tests
// contain and says, for every parameter, how it got its number; a parameter
// no test can determine keeps a documented default, stays fixed and says why.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "derive/measured.hpp"

namespace soilcal::derive {

// One parameter of the model, under its name in the model's parameter table.
struct DerivedValue {
  std::string name;
  double value = 0.0;       // as a person gives it: job units, angles in degrees
  bool fromData = false;    // read off the tests (false: a stated default)
  bool free = false;        // worth calibrating: the tests determine it
  double lower = 0.0;       // bounds when free, around value
  double upper = 0.0;
  std::string note;         // the rule and the numbers it used
};

struct Derivation {
  std::string model;                 // model name of the parameter table
  std::vector<DerivedValue> values;  // in the order a job lists them
  std::vector<std::string> skipped;  // rules the tests gave too little for, with the reason
  const DerivedValue* Find(std::string_view name) const;
};

// The state of a sand where a field or index test gives it (UBC3D): the
// normalised blow count, else a void ratio with the limiting void ratios.
struct SandState {
  std::optional<double> n160;        // (N1)60
  std::optional<double> voidRatio;   // e of the specimens
  std::optional<double> emin;
  std::optional<double> emax;
};

struct DeriveOptions {
  double pref = 100.0;          // reference pressure, 100 kPa in the job's units
  std::string stressUnit = "kPa";
  SandState sand;
};

// The start values of `model` (a name of the parameter table) from `tests`.
// Throws std::invalid_argument for a model the rules do not serve, naming
// the ones they do.
Derivation Derive(std::string_view model, std::span<const MeasuredTest> tests,
                  const DeriveOptions& options = {});

// The model names Derive serves.
std::vector<std::string> DerivableModels();

}  // namespace soilcal::derive
