// The parts of the TOML job reader, one per section of the file. They share
// the reader's state: the file, its folder, the units and the model chosen.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "jobfile/native_job.hpp"
#include "jobfile/quantity_names.hpp"
#include "jobfile/stage_branches.hpp"
#include "jobfile/templates.hpp"
#include "jobfile/toml_access.hpp"
#include "models/parameter_table.hpp"

namespace soilcal::jobfile::reader {

struct State {
  State(TomlFile f, std::string dir) : file(std::move(f)), folder(std::move(dir)) {}
  TomlFile file;
  std::string folder;                  // folder of the TOML file, with separator ("" = current)
  std::string force = "kN", length = "m", time = "day";
  int model = 0;                       // base model number
  int variant = 0;                     // model variant of the tests (0 drained, 1 undrained)
  bool variantGiven = false;           // [model] gives drainage or variant
  const models::params::Model* table = nullptr;  // named parameters, if the model has them
  std::string modelWords;              // "the Mohr-Coulomb model" for messages
};

// The text of the job file `path`; a missing or unreadable file is a run
// error naming it.
std::string ReadJobFileText(const std::string& path);
// The TOML text of `path` parsed; a syntax error is a run error naming the
// file and line.
toml::table ParseTomlText(const std::string& text, const std::string& path);

// A whole parsed job of one model, read as the file `path` (CSV paths are
// relative to its folder). Nodes keep their source lines for the messages.
NativeJob ReadJobTable(const toml::table& root, const std::string& path);

// [units], [model] and [parameters]: material set 1.
void ReadUnits(State& s, const toml::table& root, input::MaterialInput& material);
void ReadModel(State& s, const toml::table& root, input::MaterialInput& material);
void ReadParameters(const State& s, const toml::table& root, input::MaterialInput& material);
// [calibrate]: free parameters with their bounds and the search settings.
void ReadCalibration(const State& s, const toml::table& root, NativeJob& out);
// One free parameter with its bounds as the person gives them (degrees, E):
// checked, converted to slot values and added to the job. `otherFree` names
// the job's other free parameters, `derivedNames` the parameters whose value
// was derived from the tests rather than given.
void AddFreeParameter(const State& s, const toml::table& root, const toml::key& key,
                      const toml::node& value, double lower, double upper,
                      const std::vector<std::string>& otherFree,
                      const std::vector<std::string>& derivedNames, NativeJob& out);
// [parameters] from_data = true and [calibrate] free = ["name", ...]: start
// values and bounds derived from the tests just read (derive/).
void ReadDerivedStart(const State& s, const toml::table& root, NativeJob& out);
// True when [parameters] asks for the start values from the tests.
bool FromData(const State& s, const toml::table& root);

// [[tests]] with their curves.
void ReadTests(const State& s, const toml::table& root, NativeJob& out);

// The most load steps one test may take (a guard on what a job asks).
inline constexpr long long kMaxSteps = 5000000;

// Steps and time of each of `n` phases of a template test (`steps`, `time`:
// one value for all or one per phase).
void StepsAndTime(const State& s, const toml::table& t, std::size_t n, TemplateValues& v);
// The model variant a test gives (drainage or variant), else the job's.
int Variant(const State& s, const toml::table& t);
// The step solver's settings of a test ([tests.solver]).
void ReadSolver(const State& s, const toml::table& t, input::LabTest& test);
// A test's own start void ratio (`e0`) or porosity (`n0`): the slots it sets
// for itself, appended to out.language.testSlots (empty when it gives none).
void ReadTestState(const State& s, const toml::table& t, const std::string& what,
                   NativeJob& out);
// A test read from a laboratory's file (from = "FILE"): the test its
// template would give, with the file's curves (jobfile/read_from.cpp).
void ReadFromTest(const State& s, const toml::table& t, const std::string& name, NativeJob& out);

// One curve of a test: reads its CSV file and fills the native curve (codes,
// segments, points in file order) and its language. A test by levels gives
// its load branches: the rows are placed on them (jobfile/stage_branches.hpp).
// Returns the path of the CSV file read.
std::string ReadCurve(const State& s, const toml::table& curve, const std::string& testName,
                      int nPhases, const TestFacts& facts, const std::vector<Branch>& branches,
                      input::Curve& native, input::CurveLanguage& language);

// Named parameter of the model, or slot_N (N in 1..maxSlot) as a plain slot;
// an unknown name is an error at `key` naming the nearest valid names.
struct ParameterRef {
  int slot = 0;
  const models::params::Parameter* named = nullptr;  // nullptr for slot_N
  std::string name;
};
ParameterRef FindParameterRef(const State& s, const toml::key& key, int maxSlot);

}  // namespace soilcal::jobfile::reader
