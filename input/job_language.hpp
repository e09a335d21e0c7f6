// The language of a job written from a TOML job file: the names, units and
// signs the person used. The TOML front end writes it beside the native job
// (job_language.json); the optimisation-file reader takes it into the job
// when it is there, so that the summary, the report and the simulated-curve
// CSV files speak in the job's names and units. A native job without it is
// read and run exactly as before.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace soilcal::input {

struct Job;
struct LabTest;

inline constexpr const char* kJobLanguageFile = "job_language.json";

// How a free parameter's slot value becomes the value the person gave.
struct ParameterLanguage {
  int slot = 0;
  std::string name;        // TOML name: "phi", "E50ref", "slot_117"
  std::string unit;        // "kPa", "°", "" for dimensionless values
  std::string conversion;  // "as_given", "sine", "shear_from_young", "porosity_from_void_ratio"
  double partner = 0.0;    // shear_from_young: the stored Poisson's ratio
  // How the start value was read off the measured tests ("" when it was given).
  std::string startRule{};
};

// One axis of a curve: the job's value is factor * (value of the native
// quantity code) / per, compression positive.
struct AxisLanguage {
  std::string name;        // quantity name: "axial_strain"
  int code = 0;            // native quantity code, sign included
  double factor = 1.0;
  double per = 1.0;        // a constant of the test (σ′v0 of a pore pressure ratio)
};

struct CurveLanguage {
  std::string output;      // base name of the CSV outputs: "TXA_deviator_stress"
  AxisLanguage x, y;
  std::string source{};    // the measured CSV file as the job names it: "data/txa.csv"
};

// A material slot that one test sets for itself, such as the start void
// ratio of a specimen: the test's simulation uses `value` (a slot value)
// in place of the job's.
struct TestSlot {
  int slot = 0;
  double value = 0.0;
  std::string name;        // the TOML name the person gave ("e0", "n0")
};

struct JobLanguage {
  std::string jobFile;     // the TOML file the job was written from
  std::vector<ParameterLanguage> parameters;       // one per free parameter, in order
  std::vector<std::vector<CurveLanguage>> curves;  // per test, per curve
  // Per test: what the reader of a laboratory file chose for a test taken
  // from it (stage, drainage, start, columns, units); empty for the others.
  std::vector<std::vector<std::string>> sources;
  // Per test: the slots it sets for itself (its own e0 or n0); empty for
  // a test that takes all values from the job's material.
  std::vector<std::vector<TestSlot>> testSlots{};
};

// The slots `test` of `job` sets for itself, or null when the job has no
// language or the test none (no allocation: called before every test).
const std::vector<TestSlot>* TestSlotsOf(const Job& job, const LabTest& test);

// The JSON text of `language`.
std::string JobLanguageJson(const JobLanguage& language);

// Reads kJobLanguageFile from the job's project folder when it is there and
// agrees with the job (its free slots, tests and curves); a file that cannot
// be read or does not agree is left out with a warning.
std::optional<JobLanguage> ReadJobLanguage(const Job& job);

// The value the person works with from a slot value (degrees from a sine,
// E from G, e0 from n0).
double ToJobValue(const ParameterLanguage& p, double stored);
// The job's value of a curve axis from the native quantity's value:
// factor * native / per (a negative zero made positive).
inline double ToJobValue(const AxisLanguage& axis, double native) {
  return axis.factor * native / axis.per + 0.0;
}
// The slot value of a value the person gives (the sine of degrees, G from E,
// n0 from e0): the inverse of ToJobValue.
double ToStoredValue(const ParameterLanguage& p, double given);

}  // namespace soilcal::input
