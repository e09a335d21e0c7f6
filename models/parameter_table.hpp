// Named parameters of the built-in models: one table that the job-file
// reader and writer, the report, the JSON summary and the Python module all
// read. Each entry maps a name from the literature (phi, E50ref, lambda_star)
// to one material slot with a fixed conversion, and carries the symbol, the
// kind of unit and the physical range a person works with.
//
// Values "as a person gives them" are in the job's units with angles in
// degrees; values "as stored" are what the slot holds (sines for the
// friction and dilatancy angles of slots 3 and 5, G for a Young's modulus).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace soilcal::models::params {

// The kind of unit of a parameter, turned into a unit text by UnitText.
enum class Quantity {
  kNone,             // dimensionless
  kStress,           // force/length^2 of the job
  kStressPerLength,  // increase of a stress with depth
  kLength,
  kTime,
  kPerTime,          // a rate
  kAngle,            // degrees
  kPercent,
};

// How a value as given becomes the slot value.
enum class Stored {
  kAsGiven,
  kSine,             // degrees given, sine stored (slots 3 and 5)
  kShearFromYoung,   // E given, G = E / (2 (1 + nu)) stored; nu from `partner`
  kPorosityFromVoidRatio,  // e0 given, n0 = e0 / (1 + e0) stored
};

// What the model's completion does to the slot before a test.
enum class Derivation {
  kNone,          // read as given
  kOverwritten,   // always replaced by the completion: a free value has no effect
  kWhenNotPositive,  // derived only when not positive, then kept as given
  kIgnoredOnceDerived,  // only feeds a derivation that runs once per set
};

// Closed physical range in the units a person gives (degrees for angles).
// A bound that is open (a modulus must be above 0) is marked.
struct Range {
  double low = -1e300;
  double high = 1e300;
  bool lowOpen = false;
  bool highOpen = false;
  bool Contains(double v) const {
    return (lowOpen ? v > low : v >= low) && (highOpen ? v < high : v <= high);
  }
};

struct Parameter {
  std::string_view name;     // job-file name: "phi", "E50ref", "lambda_star"
  int slot = 0;              // material slot 1..255
  std::string_view symbol;   // display symbol: "φ", "E50ref", "λ*"
  std::string_view words;    // "friction angle"
  Quantity quantity = Quantity::kNone;
  Stored stored = Stored::kAsGiven;
  std::string_view partner;  // kShearFromYoung: name of the Poisson's ratio it uses
  Range range;
  Derivation derivation = Derivation::kNone;
  std::string_view derivedFrom;  // in words: "from kappa_star, nu_ur and pref"
  // kOverwritten only while this slot of the set is not 0 (0: always).
  int whenSlotNonZero = 0;
};

// What a TOML job puts into a slot it does not give, where 0 would change
// the model behind the engineer's back (the porosity range of the Hardening
// Soil dilatancy cut-off, the friction angle that the soft-soil
// admissibility rules read, the Hardening Soil K0nc that the cap fit
// reads). Slots without such a default stay 0.
enum class JobDefault {
  kNone,
  kOne,             // 1 (n_max: no dilatancy cut-off)
  kSineFromM,       // sin φ = 3 M/(6 + M), the friction angle of M in compression
  kSineFromK0nc,    // sin φ = 1 − K0nc (Jaky)
  kK0ncFromSine,    // K0nc = 1 − sin φ (Jaky), what the model takes for a K0nc below 0
};
JobDefault JobDefaultOf(int model, int slot);

struct Model {
  int number = 0;                 // base model number (model number modulo 100)
  std::string_view name;          // job-file name: "mohr_coulomb"
  std::string_view display;       // "Mohr-Coulomb"
  std::span<const Parameter> parameters;
};

// Every built-in model with names, in model-number order. User-defined
// models (21..30) are named by their libraries (FindUserModel).
std::span<const Model> Models();
// Model of base number `number` (modulo 100 already taken), or nullptr.
const Model* FindModel(int number);
// Model by job-file name, or nullptr.
const Model* FindModel(std::string_view name);

// Named parameters of a user-defined model (21..30), keyed by the library's
// name as the material-name line gives it: what the library declares through
// DescribeUserModel, else the program's own table of the example library
// (usermod.dll). Other libraries' parameters are slot_N.
struct UserModel {
  std::string_view library;  // "usermod.dll"
  Model model;               // number 21..30, its job-file name and parameters
};
std::span<const UserModel> UserModels();
// The named parameters of user model `number` from `library`, or nullptr.
// Letter case, a "64" before ".dll", a "lib" prefix and a ".so" ending of
// the library name do not matter ("libusermod64.so" finds "usermod.dll").
const Model* FindUserModel(std::string_view library, int number);

// Parameters of the material set that every model's set carries whatever
// its model: the start porosity n0 and, converted into it, the void ratio e0
// (slot 20). A user-defined model's table ends with those its library does
// not declare under the same names.
std::span<const Parameter> SetParameters();

// Parameter of `model` by job-file name, or nullptr.
const Parameter* FindParameter(const Model& model, std::string_view name);
// The parameter stored as-is (no conversion) in `slot`, else one that is
// converted into it, else nullptr. The as-is one comes first because a
// value written under its name reads back bit for bit.
const Parameter* FindParameterForSlot(const Model& model, int slot);

// Value as stored from a value as given (a sine correctly rounded, see
// models/degrees.hpp); `partnerValue` is the stored value
// of the partner parameter (kShearFromYoung).
double ToStored(const Parameter& p, double given, double partnerValue = 0.0);
// Value as given from a value as stored.
double FromStored(const Parameter& p, double stored, double partnerValue = 0.0);
// The value as given, with the fewest digits, that ToStored turns into
// exactly `stored` (35 for the sine a job made from 35 degrees, where
// FromStored may give 35.00000000000001); nullopt when no double near
// FromStored does (no number of degrees has the sine 0.4 exactly).
std::optional<double> ExactGiven(const Parameter& p, double stored, double partnerValue = 0.0);

// Unit text of a quantity for the job's force, length and time units
// ("kN", "m", "day" give "kPa", "m", "day"); "" for dimensionless values.
std::string UnitText(Quantity q, std::string_view force, std::string_view length,
                     std::string_view time);
// Stress unit alone: kPa, MPa, psi, ... or "kN/m²" where no short name exists.
std::string StressUnitText(std::string_view force, std::string_view length);

// Display name and unit of slot `slot` of base model `model`: from the table
// where the slot has a name, otherwise nullopt (the caller keeps its own key).
// A user-defined model (21..30) is looked up in `library`, its material name.
struct SlotDisplay {
  std::string symbol;   // "φ"
  std::string words;    // "friction angle"
  Quantity quantity = Quantity::kNone;
  bool sine = false;    // stored as the sine of the displayed angle
};
std::optional<SlotDisplay> DisplayOfSlot(int model, int slot, std::string_view library = "");

}  // namespace soilcal::models::params
